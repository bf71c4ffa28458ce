#pragma once

#include <filesystem>

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
    // Removes the wallpaper; harmless when nothing plays.
    virtual void stop() = 0;
    // How the wallpaper covers several monitors, now and for later starts; a
    // playing wallpaper is laid out anew without restarting.
    virtual void setScreenMode(ScreenMode mode) = 0;
    // A start is coming (a wallpaper to restore is being checked): whatever
    // the player can ready without a file may be readied now, in the background.
    virtual void prepare() {}
};

}  // namespace lumivo
