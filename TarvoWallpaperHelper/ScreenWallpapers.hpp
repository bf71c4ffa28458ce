#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LastWallpaper.hpp"
#include "Monitor.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// In each-screen mode, the wallpapers that screens show instead of the one in
// lastWallpaper, by monitor name (RandR monitor or output name), so that
// each comes back at login. Kept in the settings group "screenWallpapers",
// each in a numbered subgroup (1 to "count") the way lastWallpaper keeps its
// one, with the monitor's name under "screen": any name is safe there. GUI
// thread, as the settings are.
class ScreenWallpapers {
  public:
    using LogSink = std::function<void(const std::string& message)>;

    static constexpr const char* group = "screenWallpapers";

    // Reads nothing yet: the settings are read at the first entries().
    ScreenWallpapers(SettingsStoring& settings, std::filesystem::path cacheRoot, LogSink log)
        : settings_(settings), cacheRoot_(std::move(cacheRoot)), log_(std::move(log)) {}

    // By monitor name. A damaged entry (incomplete, without a screen name, a
    // cached file outside the cache folder, a second one for a screen; all of
    // them under a damaged count) is skipped with one log line when the
    // settings are first read, and gone from the next change.
    const std::map<std::string, LastWallpaper>& entries();
    // `entry` plays on `screen` from now on; saved at once.
    void set(const std::string& screen, const LastWallpaper& entry);
    // Forgets `screen`'s own wallpaper; saved at once.
    void erase(const std::string& screen);
    // Forgets them all.
    void clear();

    // The menu's line of what plays on `leftToRight`: each screen's title
    // (its own in `own`, else `fallback`), shortened, once each, joined by
    // ", " in the order of the leftmost screen showing it. Just `fallback`
    // when no screen has one of its own.
    static std::optional<std::string> playingLine(const std::vector<Monitor>& leftToRight,
                                                  const std::map<std::string, LastWallpaper>& own,
                                                  const std::optional<std::string>& fallback);

  private:
    void load();
    void save();

    SettingsStoring& settings_;
    std::filesystem::path cacheRoot_;
    LogSink log_;
    std::optional<std::map<std::string, LastWallpaper>> entries_;
};

}  // namespace lumivo
