#include "DecodeThreads.hpp"

#include <cmath>

namespace lumivo {

DecodeThreads DecodeThreads::forVideo(long long width, long long height, double framesPerSecond) {
    // Pixels a second of 1920x1080 at 30 frames a second, in either orientation.
    constexpr double kOneThreadLimit = 1920.0 * 1080.0 * 30.0;
    if (width <= 0 || height <= 0 || !std::isfinite(framesPerSecond) || framesPerSecond <= 0) {
        return {};
    }
    const double pixelsPerSecond =
        static_cast<double>(width) * static_cast<double>(height) * framesPerSecond;
    // A container's rate is often stored as 29.97 or 30.0003: a hair over the
    // limit still counts as 1080p30.
    if (pixelsPerSecond > kOneThreadLimit * 1.001) {
        return {};
    }
    return {1, 1};
}

}  // namespace lumivo
