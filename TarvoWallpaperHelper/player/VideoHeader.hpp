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

    // Every video stream of `file`, from its header alone (no frame is
    // decoded); empty when the file has none or cannot be read as media.
    static std::vector<VideoHeader> read(const std::filesystem::path& file);
};

}  // namespace lumivo
