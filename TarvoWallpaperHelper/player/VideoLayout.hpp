#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Monitor.hpp"
#include "ScreenLayout.hpp"

namespace lumivo {

// One decode's share of the screens in each-screen mode: a video and the
// monitors that show it, each the whole video aspect-filled to it.
struct VideoLayout {
    std::filesystem::path video;
    // Its placements index into the monitors laid out (all of them, not
    // only this video's).
    ScreenLayout layout;
    bool operator==(const VideoLayout&) const = default;
};

// Which video each of `monitors` shows: its own in `own` (by monitor name),
// else `fallback`; a monitor without area shows nothing. One entry per
// distinct video, so that a video on two monitors is decoded once, in the
// order of the first monitor showing each. Pure.
std::vector<VideoLayout> layoutVideos(const std::vector<Monitor>& monitors,
                                      const std::map<std::string, std::filesystem::path>& own,
                                      const std::filesystem::path& fallback);

}  // namespace lumivo
