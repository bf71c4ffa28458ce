#include "ShmFrameBuffer.hpp"

#include <new>
#include <utility>

#include "LayerShellOutput.hpp"

namespace lumivo {

ShmFrameBuffer::ShmFrameBuffer(std::shared_ptr<WaylandDisplay> connection, wl_shm* shm, int width,
                               int height, FindOutput find)
    : connection_(std::move(connection)),
      shm_(shm),
      find_(std::move(find)),
      width_(width),
      height_(height) {
    buffers_[0] = ShmBuffer::create(shm_, width_, height_);
    if (!buffers_[0]) {
        throw std::bad_alloc();
    }
}

std::uint8_t* ShmFrameBuffer::acquire() {
    for (std::size_t i = 1; i <= buffers_.size(); ++i) {
        const std::size_t slot = (current_ + i) % buffers_.size();
        if (!buffers_[slot]) {
            buffers_[slot] = ShmBuffer::create(shm_, width_, height_);
        }
        if (buffers_[slot] && !buffers_[slot]->busy()) {
            current_ = slot;
            return current().pixels();
        }
    }
    current_ = (current_ + 1) % buffers_.size();
    while (!buffers_[current_]) {
        current_ = (current_ + 1) % buffers_.size();
    }
    return current().pixels();
}

void ShmFrameBuffer::present(const Output& output, const Rect& source) {
    if (LayerShellOutput* surface = find_ ? find_(output) : nullptr) {
        surface->present(*this, source);
    }
}

}  // namespace lumivo
