#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

#include "Outputs.hpp"

namespace lumivo {

// A canvas in memory shared with the X server (MIT-SHM) when the server
// offers it, else in private memory sent with plain PutImage requests.
class X11FrameBuffer : public FrameBuffer {
  public:
    // Throws std::bad_alloc when the memory cannot be had.
    X11FrameBuffer(xcb_connection_t* connection, int width, int height, bool useShm);
    ~X11FrameBuffer() override;

    X11FrameBuffer(const X11FrameBuffer&) = delete;
    X11FrameBuffer& operator=(const X11FrameBuffer&) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t stride() const override { return stride_; }
    std::uint8_t* acquire() override;

    // Shows `source` of this buffer in `window` at its origin.
    void put(xcb_window_t window, xcb_gcontext_t gc, const Rect& source);

  private:
    xcb_connection_t* connection_;
    int width_;
    int height_;
    std::size_t stride_;
    std::uint8_t* pixels_ = nullptr;
    std::unique_ptr<std::uint8_t[]> privatePixels_;
    xcb_shm_seg_t segment_ = 0;
    bool pending_ = false;  // the server may still be reading the pixels
};

}  // namespace lumivo
