#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Monitor.hpp"
#include "ScreenMode.hpp"

namespace lumivo {

// What the application needs of a wallpaper player; the seam that lets the
// workflow be tested without a display. Every call runs on the GUI thread.
class WallpaperPlaying {
  public:
    virtual ~WallpaperPlaying() = default;
    // Replaces whatever plays with `videoPath`, muted and looping. Throws
    // HelperError::noMainScreen() before changing anything when there is no screen.
    virtual void start(const std::filesystem::path& videoPath) = 0;
    // In each-screen mode while a wallpaper plays: `videoPath` plays on one
    // monitor, the one named `screen` or with none the one the user looks
    // at, and the others play on; returns that monitor's name. Otherwise it
    // is start() and returns nothing. Throws as start() does.
    virtual std::optional<std::string> startOn(const std::filesystem::path& videoPath,
                                               const std::optional<std::string>& screen) {
        (void)screen;
        start(videoPath);
        return std::nullopt;
    }
    // The monitors the wallpaper plays on, left to right; none when idle.
    virtual std::vector<Monitor> screens() const { return {}; }
    // The video every monitor without one of its own shows; empty when idle.
    virtual std::filesystem::path video() const { return {}; }
    // Removes the wallpaper; harmless when nothing plays.
    virtual void stop() = 0;
    // How the wallpaper covers several monitors, now and for later starts; a
    // playing wallpaper is laid out anew without restarting.
    virtual void setScreenMode(ScreenMode mode) = 0;
    virtual ScreenMode screenMode() const = 0;
    // A start is coming (a wallpaper to restore is being checked): whatever
    // the player can ready without a file may be readied now, in the background.
    virtual void prepare() {}
};

}  // namespace lumivo
