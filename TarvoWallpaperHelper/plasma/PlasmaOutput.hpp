#pragma once

#include <memory>

#include "FrameServer.hpp"
#include "Outputs.hpp"

namespace lumivo {

// One Plasma desktop that shows the wallpaper package; its backend's
// FrameRing hands that desktop's package the frames over the frame socket.
// Ready while the package is connected for its desktop. GUI thread only.
class PlasmaOutput : public Output {
  public:
    PlasmaOutput(Monitor monitor, long long desktop, std::shared_ptr<FrameServer> server);

    const Monitor& monitor() const override { return monitor_; }
    long long desktop() const { return desktop_; }
    bool ready() const override { return server_->connected(desktop_); }
    // The package draws with plasmashell's own renderer: no native window.
    void* eglNativeWindow() override { return nullptr; }

  private:
    Monitor monitor_;
    long long desktop_;
    std::shared_ptr<FrameServer> server_;
};

}  // namespace lumivo
