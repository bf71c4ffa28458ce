#include "X11FrameBuffer.hpp"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "X11Output.hpp"

namespace lumivo {
namespace {

// Rows 64-byte aligned, as mpv's software renderer scales fastest into them.
std::size_t alignedStride(int width) {
    return (static_cast<std::size_t>(width) * 4 + 63) / 64 * 64;
}

}  // namespace

X11FrameBuffer::X11FrameBuffer(xcb_connection_t* connection, int width, int height, bool useShm,
                               FindOutput find)
    : connection_(connection),
      find_(std::move(find)),
      width_(width),
      height_(height),
      stride_(alignedStride(width)) {
    const std::size_t size = stride_ * static_cast<std::size_t>(height);
    if (useShm) {
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        void* memory = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
        if (memory != reinterpret_cast<void*>(-1)) {
            segment_ = xcb_generate_id(connection_);
            std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
                xcb_request_check(connection_,
                                  xcb_shm_attach_checked(connection_, segment_, id, 1)),
                &std::free);
            if (error) {
                shmdt(memory);
                segment_ = 0;
            } else {
                pixels_ = static_cast<std::uint8_t*>(memory);
            }
        }
        if (id >= 0) {
            // Freed by the kernel once both sides have detached.
            shmctl(id, IPC_RMID, nullptr);
        }
    }
    if (pixels_ == nullptr) {
        // A remote server cannot share memory with us: plain PutImage.
        privatePixels_ = std::make_unique<std::uint8_t[]>(size);
        pixels_ = privatePixels_.get();
    }
}

X11FrameBuffer::~X11FrameBuffer() {
    if (segment_ != 0) {
        xcb_shm_detach(connection_, segment_);
        // The server must have let go of the memory before it is unmapped.
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        shmdt(pixels_);
    }
}

std::uint8_t* X11FrameBuffer::acquire() {
    if (pending_) {
        // The server copies a shared image while it handles the request, so
        // one round trip proves it no longer reads these pixels.
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        pending_ = false;
    }
    return pixels_;
}

void X11FrameBuffer::present(const Output& output, const Rect& source) {
    const X11Output* shown = find_ ? find_(output) : nullptr;
    if (shown == nullptr) {
        return;
    }
    const xcb_window_t window = shown->window();
    const xcb_gcontext_t gc = shown->gc();
    const Rect r{source.x, source.y, std::min(source.width, width_ - source.x),
                 std::min(source.height, height_ - source.y)};
    if (r.empty()) {
        return;
    }
    if (segment_ != 0) {
        xcb_shm_put_image(connection_, window, gc, static_cast<uint16_t>(stride_ / 4),
                          static_cast<uint16_t>(height_), static_cast<uint16_t>(r.x),
                          static_cast<uint16_t>(r.y), static_cast<uint16_t>(r.width),
                          static_cast<uint16_t>(r.height), 0, 0, 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                          segment_, 0);
        pending_ = true;
        return;
    }
    // Bands that fit into one request.
    const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4;
    const std::size_t maxBytes = xcb_get_maximum_request_length(connection_) * 4 - 64;
    const int rowsPerBand = std::max<int>(1, static_cast<int>(maxBytes / rowBytes));
    std::vector<std::uint8_t> band;
    for (int y = 0; y < r.height; y += rowsPerBand) {
        const int rows = std::min(rowsPerBand, r.height - y);
        band.resize(rowBytes * static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            std::memcpy(band.data() + rowBytes * static_cast<std::size_t>(row),
                        pixels_ + stride_ * static_cast<std::size_t>(r.y + y + row) +
                            static_cast<std::size_t>(r.x) * 4,
                        rowBytes);
        }
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc,
                      static_cast<uint16_t>(r.width), static_cast<uint16_t>(rows), 0,
                      static_cast<int16_t>(y), 0, 24, static_cast<uint32_t>(band.size()),
                      band.data());
    }
}

}  // namespace lumivo
