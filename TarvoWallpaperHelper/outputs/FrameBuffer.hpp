#pragma once

#include <cstddef>
#include <cstdint>

#include "Rect.hpp"

namespace lumivo {

class Output;

// A canvas the software renderer draws into: 32-bit pixels, bytes B, G, R, X
// in that order, rows stride() bytes apart. Made by a backend
// (Outputs::createFrameBuffer) in memory it can hand to its display server
// without a copy (MIT-SHM, wl_shm), and shown on that backend's outputs only.
// Must not outlive its backend. GUI thread only.
class FrameBuffer {
  public:
    virtual ~FrameBuffer() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual std::size_t stride() const = 0;
    // The pixels, once the display server no longer reads the previous
    // picture from them; may wait for the server briefly.
    virtual std::uint8_t* acquire() = 0;
    // Shows `source` of the pixels last acquired on `output`, pixel for
    // pixel. Nothing when `output` is not among the surfaces the backend's
    // last showOn() returned (another backend's, or one gone since), or
    // cannot show a picture now.
    virtual void present(const Output& output, const Rect& source) = 0;
};

}  // namespace lumivo
