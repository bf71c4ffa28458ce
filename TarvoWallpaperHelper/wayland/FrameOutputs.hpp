#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SoftwareFrame.hpp"

namespace lumivo {

// The screens a wallpaper is drawn on, as one backend sees them. A stand-in
// for the player's outputs interface until the two are reconciled: geometry
// per output, "draw this frame with this crop", and pacing by the output.
// GUI thread only.
class FrameOutputs {
  public:
    struct Output {
        std::string name;
        int x = 0, y = 0, width = 0, height = 0;  // logical
        int scale = 1;
    };

    virtual ~FrameOutputs() = default;

    // The outputs that can show a frame now, in the order the session lists them.
    virtual std::vector<Output> outputs() const = 0;
    // Shows `crop` of `frame` on the output, scaled to fill it. Ignored when
    // the output is gone or still busy with the previous frame (then it asks
    // again through frameWanted).
    virtual void present(const std::string& output, const SoftwareFrame& frame,
                         const FrameCrop& crop) = 0;

    // Outputs appeared, disappeared or changed size.
    std::function<void()> outputsChanged;
    // The output is ready for its next frame (it showed the last one, or is new).
    std::function<void(const std::string& output)> frameWanted;
    // One line for the helper's log about something that went wrong.
    std::function<void(const std::string& line)> log;
};

}  // namespace lumivo
