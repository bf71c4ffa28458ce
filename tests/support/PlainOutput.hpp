#pragma once

#include <utility>

#include "Output.hpp"

namespace lumivo {

// A wallpaper surface of no display at all: always ready for a picture, with
// no native window. For tests of what the player and the backends do with
// surfaces.
class PlainOutput : public Output {
  public:
    explicit PlainOutput(Monitor monitor) : monitor_(std::move(monitor)) {}
    const Monitor& monitor() const override { return monitor_; }
    bool ready() const override { return true; }
    void* eglNativeWindow() override { return nullptr; }

  private:
    Monitor monitor_;
};

}  // namespace lumivo
