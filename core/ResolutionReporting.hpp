#pragma once

#include <string>

namespace lumivo {

// What a WallpaperResolver tells its caller while it works. Called on the
// resolving thread; an implementation that updates a user interface posts to
// its own thread.
class ResolutionReporting {
  public:
    virtual ~ResolutionReporting() = default;
    // One log line, without the log prefix, in the order the steps run.
    virtual void log(const std::string& message) = 0;
    // `percent` (0 to 100) of the video of the wallpaper titled `title` has
    // arrived; reported each time the whole percentage changes.
    virtual void downloadProgress(const std::string& title, int percent) = 0;
};

}  // namespace lumivo
