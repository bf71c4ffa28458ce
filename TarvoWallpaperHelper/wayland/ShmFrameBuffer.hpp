#pragma once

#include <array>
#include <functional>
#include <memory>

#include "FrameBuffer.hpp"
#include "ShmBuffer.hpp"

namespace lumivo {

class LayerShellOutput;

// A canvas in wl_shm memory that any number of wallpaper surfaces show parts
// of, without a copy. Up to three buffers rotate, so that the renderer draws
// the next picture while the compositor still reads the last. Holds the
// connection open for as long as it lives. GUI thread only.
class ShmFrameBuffer : public FrameBuffer {
  public:
    // The backend's surface for an output it showed, or nullptr (also once
    // the backend is gone).
    using FindOutput = std::function<LayerShellOutput*(const Output&)>;

    // Throws std::bad_alloc when the shared memory cannot be had.
    ShmFrameBuffer(std::shared_ptr<WaylandDisplay> connection, wl_shm* shm, int width, int height,
                   FindOutput find);

    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t stride() const override { return static_cast<std::size_t>(width_) * 4; }
    // A buffer the compositor released, or a new one; when all three are
    // still held, the oldest (a torn picture rather than a blocked loop).
    std::uint8_t* acquire() override;
    // Attaches `source` of the current buffer to the output's surface.
    void present(const Output& output, const Rect& source) override;

    // The buffer last acquired, to attach.
    ShmBuffer& current() { return *buffers_[current_]; }

  private:
    std::shared_ptr<WaylandDisplay> connection_;  // released after the buffers
    wl_shm* shm_;
    FindOutput find_;
    int width_, height_;
    std::array<std::unique_ptr<ShmBuffer>, 3> buffers_;
    std::size_t current_ = 0;
};

}  // namespace lumivo
