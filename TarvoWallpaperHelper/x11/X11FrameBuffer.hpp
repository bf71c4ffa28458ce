#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "FrameBuffer.hpp"

namespace lumivo {

class X11Output;

// A canvas in memory shared with the X server (MIT-SHM) when the server
// offers it, else in private memory sent with plain PutImage requests.
class X11FrameBuffer : public FrameBuffer {
  public:
    // The backend's window for an output it showed, or nullptr.
    using FindOutput = std::function<X11Output*(const Output&)>;

    // Throws std::bad_alloc when the memory cannot be had.
    X11FrameBuffer(xcb_connection_t* connection, int width, int height, bool useShm,
                   FindOutput find);
    ~X11FrameBuffer() override;

    X11FrameBuffer(const X11FrameBuffer&) = delete;
    X11FrameBuffer& operator=(const X11FrameBuffer&) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t stride() const override { return stride_; }
    std::uint8_t* acquire() override;
    // Puts `source` into the output's window at its origin.
    void present(const Output& output, const Rect& source) override;

  private:
    xcb_connection_t* connection_;
    FindOutput find_;
    int width_;
    int height_;
    std::size_t stride_;
    std::uint8_t* pixels_ = nullptr;
    std::unique_ptr<std::uint8_t[]> privatePixels_;
    xcb_shm_seg_t segment_ = 0;
    bool pending_ = false;  // the server may still be reading the pixels
};

}  // namespace lumivo
