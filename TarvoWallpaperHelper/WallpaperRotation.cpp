#include "WallpaperRotation.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "LogText.hpp"

namespace lumivo {

namespace {

using std::chrono::milliseconds;

// QTimer counts in int milliseconds: a longer period takes several rings.
constexpr milliseconds longestRing{std::chrono::hours(24 * 24)};

}  // namespace

WallpaperRotation::WallpaperRotation(SettingsStoring& settings, RecentWallpapers& recent,
                                     const PauseControl* pause, Apply apply, LogSink log,
                                     const WallpaperPlaying* player)
    : settings_(settings),
      recent_(recent),
      pause_(pause),
      apply_(std::move(apply)),
      log_(std::move(log)),
      player_(player) {
    timer_.setSingleShot(true);
    // A change a few seconds late costs nothing; the system may batch it.
    timer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
}

void WallpaperRotation::playing(const std::string& id, const std::optional<std::string>& screen) {
    if (screen) {
        screens_[*screen] = id;
    } else {
        playing_ = id;
        screens_.clear();
    }
    schedule();
}

void WallpaperRotation::stopped() {
    playing_.reset();
    screens_.clear();
    timer_.stop();
}

std::int64_t WallpaperRotation::minutes() const {
    const std::optional<std::string> text = settings_.text(minutesKey);
    if (!text) {
        return 0;
    }
    std::int64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [rest, error] = std::from_chars(text->data(), end, value);
    // More than a lifetime of minutes cannot be waited for in a steady clock.
    if (error == std::errc() && rest == end && value >= 0 && value <= 100'000'000) {
        return value;
    }
    if (loggedSetting_ != *text) {
        loggedSetting_ = *text;
        log_(std::string("Ignoring ") + minutesKey + "=" + shortenedText(escapedLogText(*text)) +
             ": not a whole number of minutes; the wallpaper does not change");
    }
    return 0;
}

void WallpaperRotation::setMinutes(std::int64_t minutes) {
    if (minutes > 0) {
        settings_.setText(minutesKey, std::to_string(minutes));
    } else {
        settings_.remove(minutesKey);
    }
    schedule();
}

std::optional<LastWallpaper> WallpaperRotation::next(
    const std::vector<LastWallpaper>& recent, const std::string& playing,
    const std::function<bool(const LastWallpaper&)>& hasFile) {
    const auto found = std::find_if(
        recent.rbegin(), recent.rend(),
        [&](const LastWallpaper& entry) { return entry.id != playing && hasFile(entry); });
    return found == recent.rend() ? std::nullopt : std::optional(*found);
}

std::vector<std::pair<std::string, LastWallpaper>> WallpaperRotation::nextPerScreen(
    const std::vector<LastWallpaper>& recent,
    const std::vector<std::pair<std::string, std::string>>& playing,
    const std::function<bool(const LastWallpaper&)>& hasFile) {
    std::vector<std::string> taken;
    for (const auto& [screen, id] : playing) {
        taken.push_back(id);
    }
    std::vector<std::pair<std::string, LastWallpaper>> moves;
    for (const auto& [screen, id] : playing) {
        const auto free = [&](const LastWallpaper& entry) {
            return hasFile(entry) && std::find(taken.begin(), taken.end(), entry.id) == taken.end();
        };
        std::optional<LastWallpaper> entry = next(recent, id, free);
        if (!entry) {
            entry = next(recent, id, hasFile);
        }
        if (entry) {
            taken.push_back(entry->id);
            moves.emplace_back(screen, *entry);
        }
    }
    return moves;
}

void WallpaperRotation::schedule() {
    timer_.stop();
    const std::int64_t period = minutes();
    if (!playing_ || period == 0) {
        return;
    }
    const milliseconds wait = std::chrono::minutes(period);
    due_ = std::chrono::steady_clock::now() + wait;
    arm(wait);
}

void WallpaperRotation::arm(milliseconds wait) {
    timer_.start(std::clamp(wait, milliseconds(0), longestRing));
}

void WallpaperRotation::fire() {
    const auto now = std::chrono::steady_clock::now();
    if (now < due_) {  // a ring on the way through a long period
        return arm(std::chrono::ceil<milliseconds>(due_ - now));
    }
    const std::optional<std::string> playing = playing_;
    // Counted from now, also when the change below fails or waits.
    schedule();
    if (!playing || (pause_ != nullptr && pause_->resting())) {
        return;
    }
    const auto hasFile = [](const LastWallpaper& entry) {
        std::error_code error;
        return std::filesystem::exists(entry.file, error);
    };
    const std::vector<Monitor> screens =
        player_ != nullptr && player_->screenMode() == ScreenMode::EachScreen
            ? player_->screens()
            : std::vector<Monitor>{};
    if (screens.empty()) {
        if (const std::optional<LastWallpaper> entry = next(recent_.entries(), *playing, hasFile)) {
            apply_(*entry, std::nullopt);
        }
        return;
    }
    std::vector<std::pair<std::string, std::string>> shown;
    for (const Monitor& screen : screens) {
        const auto own = screens_.find(screen.name);
        shown.emplace_back(screen.name, own != screens_.end() ? own->second : *playing);
    }
    for (const auto& [screen, entry] : nextPerScreen(recent_.entries(), shown, hasFile)) {
        apply_(entry, screen);
    }
}

}  // namespace lumivo
