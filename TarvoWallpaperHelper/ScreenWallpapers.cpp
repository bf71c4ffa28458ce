#include "ScreenWallpapers.hpp"

#include <algorithm>
#include <charconv>

#include "LogText.hpp"

namespace lumivo {

namespace {

constexpr const char* screenKey = "screen";
constexpr const char* countKey = "count";
// More monitors than anyone connects: a count beyond it is damage.
constexpr std::size_t maxScreens = 64;
// As many as the Recent Wallpapers submenu: long titles would make the menu
// as wide as the screen.
constexpr std::size_t titleCharacters = 40;

std::string entryGroup(std::size_t number) {
    return std::string(ScreenWallpapers::group) + "/" + std::to_string(number);
}

}  // namespace

const std::map<std::string, LastWallpaper>& ScreenWallpapers::entries() {
    if (!entries_) {
        load();
    }
    return *entries_;
}

void ScreenWallpapers::set(const std::string& screen, const LastWallpaper& entry) {
    entries();
    (*entries_)[screen] = entry;
    save();
}

void ScreenWallpapers::erase(const std::string& screen) {
    if (entries().contains(screen)) {
        entries_->erase(screen);
        save();
    }
}

void ScreenWallpapers::clear() {
    entries_.emplace();
    settings_.remove(group);
}

void ScreenWallpapers::load() {
    entries_.emplace();
    const std::string countText = settings_.text(std::string(group) + "/" + countKey).value_or("0");
    std::size_t count = 0;
    const char* end = countText.data() + countText.size();
    const auto [rest, error] = std::from_chars(countText.data(), end, count);
    if (error != std::errc() || rest != end || count > maxScreens) {
        log_("Skipping the screen wallpapers: " + shortenedText(escapedLogText(countText), 20) +
             " is no count of them");
        return;
    }
    for (std::size_t number = 1; number <= count; ++number) {
        const std::string at = entryGroup(number);
        std::optional<LastWallpaper> entry = LastWallpaper::load(settings_, at);
        const std::string screen = settings_.text(at + "/" + screenKey).value_or("");
        std::string damage;
        if (!entry || screen.empty()) {
            damage = "it is incomplete";
        } else if (entry->cachedOutside(cacheRoot_)) {
            damage = "its cached file is outside the cache";
        } else if (entries_->contains(screen)) {
            damage = "its screen has one already";
        }
        if (damage.empty()) {
            entries_->emplace(screen, *std::move(entry));
        } else {
            log_("Skipping screen wallpaper " + std::to_string(number) + ": " + damage);
        }
    }
}

void ScreenWallpapers::save() {
    // Few entries, rarely changed: written whole, so nothing damaged stays.
    settings_.remove(group);
    std::size_t number = 0;
    for (const auto& [screen, entry] : *entries_) {
        const std::string at = entryGroup(++number);
        entry.save(settings_, at);
        settings_.setText(at + "/" + screenKey, screen);
    }
    if (number > 0) {
        settings_.setText(std::string(group) + "/" + countKey, std::to_string(number));
    }
}

std::optional<std::string> ScreenWallpapers::playingLine(
    const std::vector<Monitor>& leftToRight, const std::map<std::string, LastWallpaper>& own,
    const std::optional<std::string>& fallback) {
    const bool anyOwn = std::any_of(leftToRight.begin(), leftToRight.end(),
                                    [&](const Monitor& m) { return own.contains(m.name); });
    if (!anyOwn) {
        return fallback;
    }
    std::vector<std::string> titles;
    for (const Monitor& monitor : leftToRight) {
        const auto found = own.find(monitor.name);
        const std::optional<std::string> title =
            found != own.end() ? std::optional(found->second.title) : fallback;
        if (title && std::find(titles.begin(), titles.end(), *title) == titles.end()) {
            titles.push_back(*title);
        }
    }
    std::string line;
    for (const std::string& title : titles) {
        line += (line.empty() ? "" : ", ") + shortenedText(title, titleCharacters);
    }
    return line;
}

}  // namespace lumivo
