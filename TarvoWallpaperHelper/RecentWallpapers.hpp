#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "LastWallpaper.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// The wallpapers applied last, newest first, one per id, at most `capacity`:
// what the "Recent Wallpapers" menu offers to play again from their files. Kept
// in the settings group "recentWallpapers": each entry in a numbered subgroup
// (a slot, from 1) the way lastWallpaper keeps its one, and "order" lists the
// slots newest first, so that an apply rewrites one entry and the order.
// GUI thread, as the settings are.
class RecentWallpapers {
  public:
    using LogSink = std::function<void(const std::string& message)>;

    static constexpr std::size_t capacity = 8;
    static constexpr const char* group = "recentWallpapers";
    static constexpr const char* orderKey = "order";

    // Reads nothing yet: the settings are read at the first entries() or add().
    RecentWallpapers(SettingsStoring& settings, std::filesystem::path cacheRoot, LogSink log)
        : settings_(settings), cacheRoot_(std::move(cacheRoot)), log_(std::move(log)) {}

    // The list, newest first. An entry that is damaged (incomplete, a
    // cached file outside the cache folder, or a slot in the order that is
    // no number up to the capacity) is skipped with one log line when the
    // settings are first read, and is gone from the next add().
    const std::vector<LastWallpaper>& entries();
    // The entry at `index` of entries(), if there is one.
    std::optional<LastWallpaper> at(std::size_t index);
    // Puts `applied` first, drops an older entry with its id and the oldest
    // beyond the capacity, and saves the list.
    void add(const LastWallpaper& applied);

    // The list with `newest` in front, as add() keeps it.
    static std::vector<LastWallpaper> with(std::vector<LastWallpaper> list,
                                           const LastWallpaper& newest);

  private:
    void load();

    SettingsStoring& settings_;
    std::filesystem::path cacheRoot_;
    LogSink log_;
    std::optional<std::vector<LastWallpaper>> entries_;
    std::vector<std::size_t> slots_;  // of each entry
};

}  // namespace lumivo
