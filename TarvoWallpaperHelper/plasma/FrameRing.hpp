#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "FileDescriptor.hpp"
#include "FrameMessage.hpp"
#include "Outputs.hpp"

namespace lumivo {

class FrameServer;
class PlasmaOutput;

// A canvas the software renderer draws into, in sealed shared memory
// (memfd) that the wallpaper package maps: a ring of pictures ("slots"), so
// that the next frame is drawn while desktops still read the last ones. A
// slot is held from the frame message that shows it until each reader
// releases it; acquire() never returns the slot last shown, and returns a
// held one only when every other slot is held (a reader that stopped reading
// then sees a later picture, never a torn one of the slot it shows). GUI
// thread only.
class FrameRing : public FrameBuffer {
  public:
    static constexpr int slotCount = 3;

    // The backend's desktop for an output it showed, or nullptr.
    using FindOutput = std::function<const PlasmaOutput*(const Output&)>;

    // Throws std::bad_alloc when the memory cannot be had. `server`, while
    // it lives, is told when the ring goes, and is handed the frames that
    // present() shows on the desktops `find` knows.
    FrameRing(int id, int width, int height, std::weak_ptr<FrameServer> server = {},
              FindOutput find = {});
    ~FrameRing() override;
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    std::size_t stride() const override { return static_cast<std::size_t>(width_) * 4; }
    std::uint8_t* acquire() override;
    // Hands the desktop of `output` the slot drawn last, over the frame socket.
    void present(const Output& output, const Rect& source) override;

    int id() const { return id_; }
    // The message that hands this canvas over, with memoryFd().
    FrameMessage canvasMessage() const;
    int memoryFd() const { return memory_.get(); }
    // The slot acquire() last returned (the picture drawn last).
    int latest() const { return latest_; }
    void hold(int slot);
    void release(int slot);
    // How many readers hold `slot`.
    int holds(int slot) const { return holds_.at(slot); }

    // The slot to draw into next, given how many readers hold each slot
    // (`holds`, one entry per slot) and the slot shown last: never `latest`;
    // the first free one after it, else the first after it.
    static int pickSlot(const std::vector<int>& holds, int latest);

  private:
    std::weak_ptr<FrameServer> server_;
    FindOutput find_;
    int id_;
    int width_;
    int height_;
    FileDescriptor memory_;
    std::uint8_t* pixels_ = nullptr;
    std::size_t size_ = 0;
    std::vector<int> holds_;
    int latest_ = 0;
};

}  // namespace lumivo
