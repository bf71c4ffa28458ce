#pragma once

#include <filesystem>
#include <vector>

namespace lumivo {

// What a file's container header says about one of its video streams (cover
// art aside): zero where it does not say. Read with the libavformat that
// libmpv itself uses, loaded the same lazy way (MpvLibrary), so that an idle
// helper maps none of it.
struct VideoHeader {
    long long width = 0;
    long long height = 0;
    double framesPerSecond = 0;

    // Every video stream of the MP4 file `file`, from its header alone (no
    // frame is decoded, no other file or URL opened); empty when it has none
    // or is not an MP4 file.
    static std::vector<VideoHeader> read(const std::filesystem::path& file);
};

}  // namespace lumivo
