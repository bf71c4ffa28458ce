#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FrameMessage.hpp"

namespace lumivo {

// A canvas the helper shares, mapped read-only: `slots` pictures one after
// the other. Unmapped when the last reference goes, from whichever thread
// (the scene graph's render thread may hold the last one).
class MappedCanvas {
  public:
    // nullptr when the memory behind `fd` is smaller than the message says or
    // cannot be mapped: a bad canvas is never read out of bounds.
    static std::shared_ptr<MappedCanvas> map(const FrameMessage& canvas, int fd);
    ~MappedCanvas();
    MappedCanvas(const MappedCanvas&) = delete;
    MappedCanvas& operator=(const MappedCanvas&) = delete;

    const FrameMessage& message() const { return message_; }
    // Whether `frame` names a slot and a part inside this canvas.
    bool holds(const FrameMessage& frame) const;
    // The first byte of `frame`'s part; holds(frame) must be true.
    const std::uint8_t* pixels(const FrameMessage& frame) const;

  private:
    MappedCanvas(const FrameMessage& message, void* memory, std::size_t size);
    FrameMessage message_;
    void* memory_;
    std::size_t size_;
};

}  // namespace lumivo
