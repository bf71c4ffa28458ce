#pragma once

#include <cstddef>
#include <cstdint>

namespace lumivo {

// A frame in memory as the software render path leaves it: 32-bit pixels in
// B, G, R, X byte order (wl_shm's XRGB8888), rows `stride` bytes apart.
// Borrowed for the duration of one call.
struct SoftwareFrame {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

// The part of a frame that one output shows, in frame pixels.
struct FrameCrop {
    int x = 0, y = 0, width = 0, height = 0;
};

}  // namespace lumivo
