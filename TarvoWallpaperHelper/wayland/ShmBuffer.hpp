#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "WaylandProxy.hpp"

namespace lumivo {

// One XRGB8888 picture in anonymous shared memory, and wl_buffers that show
// rectangles of it without a copy (buffers at an offset into the same pool,
// which every compositor handles, unlike viewport source offsets). Busy while
// the compositor holds any of them; must not be written meanwhile. Not
// movable: the release listeners point into it.
class ShmBuffer {
  public:
    // nullptr when the memory cannot be had.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    uint8_t* pixels() const { return static_cast<uint8_t*>(memory_); }
    std::size_t stride() const { return static_cast<std::size_t>(width_) * 4; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool busy() const;
    // The buffer for the rectangle (inside the picture), to attach: busy
    // until the compositor releases it.
    wl_buffer* attach(int x, int y, int width, int height);

  private:
    struct View {
        int x, y, width, height;
        WaylandProxy<wl_buffer> buffer;
        bool busy = false;
    };
    ShmBuffer(void* memory, std::size_t size, int width, int height, wl_shm_pool* pool);
    static const wl_buffer_listener listener;

    void* memory_;
    std::size_t size_;
    int width_, height_;
    WaylandProxy<wl_shm_pool> pool_;
    std::vector<std::unique_ptr<View>> views_;
};

}  // namespace lumivo
