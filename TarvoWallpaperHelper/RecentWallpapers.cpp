#include "RecentWallpapers.hpp"

#include <algorithm>
#include <charconv>

#include "LogText.hpp"

namespace lumivo {

namespace {

std::string entryGroup(std::size_t number) {
    return std::string(RecentWallpapers::group) + "/" + std::to_string(number);
}

}  // namespace

const std::vector<LastWallpaper>& RecentWallpapers::entries() {
    if (!entries_) {
        load();
    }
    return *entries_;
}

std::optional<LastWallpaper> RecentWallpapers::at(std::size_t index) {
    const auto& list = entries();
    return index < list.size() ? std::optional(list[index]) : std::nullopt;
}

// Only what changed is written: the settings are saved to disk at each key.
void RecentWallpapers::add(const LastWallpaper& applied) {
    const std::vector<LastWallpaper> before = entries();
    const std::vector<std::size_t> slotsBefore = slots_;
    entries_ = with(before, applied);
    slots_.clear();
    for (const LastWallpaper& entry : *entries_) {
        const auto kept = std::find_if(before.begin(), before.end(),
                                       [&](const auto& old) { return old.id == entry.id; });
        slots_.push_back(kept == before.end() ? 0 : slotsBefore[kept - before.begin()]);
    }
    // A new entry takes a free slot: the oldest's once the list is full.
    std::size_t free = 1;
    while (std::find(slots_.begin(), slots_.end(), free) != slots_.end()) {
        ++free;
    }
    if (slots_.front() == 0) {
        slots_.front() = free;
    }
    const auto old = std::find(slotsBefore.begin(), slotsBefore.end(), slots_.front());
    if (old == slotsBefore.end() || before[old - slotsBefore.begin()] != applied) {
        applied.save(settings_, entryGroup(slots_.front()));
    }
    std::string order;
    for (const std::size_t slot : slots_) {
        if (!order.empty()) {
            order += ',';
        }
        order += std::to_string(slot);
    }
    settings_.setText(std::string(group) + "/" + orderKey, order);
    // What a damaged entry left in a slot no longer in use goes.
    for (std::size_t slot = 1; slot <= capacity; ++slot) {
        if (std::find(slots_.begin(), slots_.end(), slot) == slots_.end() &&
            settings_.text(entryGroup(slot) + "/id")) {
            settings_.remove(entryGroup(slot));
        }
    }
}

std::vector<LastWallpaper> RecentWallpapers::with(std::vector<LastWallpaper> list,
                                                  const LastWallpaper& newest) {
    std::erase_if(list, [&](const LastWallpaper& entry) { return entry.id == newest.id; });
    list.insert(list.begin(), newest);
    if (list.size() > capacity) {
        list.resize(capacity);
    }
    return list;
}

void RecentWallpapers::load() {
    entries_.emplace();
    slots_.clear();
    const std::string order = settings_.text(std::string(group) + "/" + orderKey).value_or("");
    std::vector<std::size_t> listed;
    for (std::size_t start = 0; start < order.size();) {
        const std::size_t end = std::min(order.find(',', start), order.size());
        const std::string token = order.substr(start, end - start);
        start = end + 1;
        std::size_t slot = 0;
        const auto [rest, error] = std::from_chars(token.data(), token.data() + token.size(), slot);
        if (error != std::errc() || rest != token.data() + token.size() || slot < 1 ||
            slot > capacity) {
            log_("Skipping recent wallpaper " + shortenedText(escapedLogText(token), 20) +
                 ": no such entry");
        } else if (std::find(listed.begin(), listed.end(), slot) == listed.end()) {
            listed.push_back(slot);
        }
    }
    for (const std::size_t number : listed) {
        const std::string at = entryGroup(number);
        std::optional<LastWallpaper> entry = LastWallpaper::load(settings_, at);
        std::string damage = "it is incomplete";
        if (entry && entry->cachedOutside(cacheRoot_)) {
            damage = "its cached file is outside the cache";
            entry.reset();
        }
        const auto sameID = [&](const LastWallpaper& kept) {
            return entry && kept.id == entry->id;
        };
        if (std::any_of(entries_->begin(), entries_->end(), sameID)) {
            continue;  // one entry per id: the newer one counts
        }
        if (entry) {
            entries_->push_back(*std::move(entry));
            slots_.push_back(number);
        } else {
            log_("Skipping recent wallpaper " + std::to_string(number) + ": " + damage);
        }
    }
}

}  // namespace lumivo
