#include "RecentWallpapers.hpp"

#include <algorithm>

#include "LogText.hpp"

namespace lumivo {

namespace {

// The folder a path names, however it is spelled ("/a/b/", "/a/./b").
std::filesystem::path folder(const std::filesystem::path& path) {
    const std::filesystem::path normal = path.lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

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

void RecentWallpapers::add(const LastWallpaper& applied) {
    entries_ = with(entries(), applied);
    settings_.remove(group);
    for (std::size_t i = 0; i < entries_->size(); ++i) {
        (*entries_)[i].save(settings_, entryGroup(i + 1));
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
    for (std::size_t number = 1; number <= capacity; ++number) {
        const std::string at = entryGroup(number);
        std::optional<LastWallpaper> entry = LastWallpaper::load(settings_, at);
        const bool stored = entry || settings_.text(at + "/id") || settings_.text(at + "/title") ||
                            settings_.text(at + "/file");
        std::string damage = "it is incomplete";
        if (entry && entry->sha256 && folder(entry->file.parent_path()) != folder(cacheRoot_)) {
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
        } else if (stored) {
            log_("Skipping recent wallpaper " + std::to_string(number) + ": " + damage);
        }
    }
}

}  // namespace lumivo
