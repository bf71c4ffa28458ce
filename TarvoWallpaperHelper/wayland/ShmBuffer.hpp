#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "WaylandProxy.hpp"

namespace lumivo {

// One XRGB8888 wl_shm buffer in anonymous shared memory. Busy from attach
// until the compositor releases it; must not be written meanwhile. Not
// movable: the release listener points at it.
class ShmBuffer {
  public:
    // nullptr when the memory cannot be had (the caller skips the frame).
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    uint8_t* pixels() const { return static_cast<uint8_t*>(memory_); }
    std::size_t stride() const { return static_cast<std::size_t>(width_) * 4; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool busy() const { return busy_; }
    // Hands the buffer to the compositor: busy until it releases it.
    wl_buffer* attach() {
        busy_ = true;
        return buffer_.get();
    }

  private:
    ShmBuffer(void* memory, std::size_t size, int width, int height, wl_buffer* buffer);
    static const wl_buffer_listener listener;

    void* memory_;
    std::size_t size_;
    int width_, height_;
    bool busy_ = false;
    WaylandProxy<wl_buffer> buffer_;
};

}  // namespace lumivo
