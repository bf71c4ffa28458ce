#pragma once

#include <filesystem>

namespace lumivo {

// What the application needs of a wallpaper player; the seam that lets the
// workflow be tested without a display. Both calls run on the GUI thread.
class WallpaperPlaying {
  public:
    virtual ~WallpaperPlaying() = default;
    // Replaces whatever plays with `videoPath`, muted and looping. Throws
    // HelperError::noMainScreen() before changing anything when there is no screen.
    virtual void start(const std::filesystem::path& videoPath) = 0;
    // Removes the wallpaper; harmless when nothing plays.
    virtual void stop() = 0;
};

}  // namespace lumivo
