#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FrameServer.hpp"
#include "Outputs.hpp"
#include "PlasmaDesktops.hpp"
#include "PlasmaOutput.hpp"

namespace lumivo {

// The backend for KDE Plasma (Wayland or X11): the wallpaper plays inside
// plasmashell's own desktops, under their icons and widgets, through the
// wallpaper package app.lumivo.wallpaper. Each desktop containment on a
// screen is a monitor (Plasma's screen 0 the primary); showOn() puts the
// package on exactly the desktops shown and gives the others their own
// wallpaper back. Canvases live in shared memory that the package maps
// (FrameRing), so a frame is drawn once and copied by nobody in the helper.
// A desktop is hidden while the package reports maximised or full-screen
// windows over it. GUI thread only.
class PlasmaOutputs : public Outputs {
    Q_OBJECT
  public:
    // Lists the desktops and listens on the frame socket at `socketPath`.
    // Throws HelperError::noMainScreen() when Plasma has no desktop on a
    // screen, std::runtime_error when plasmashell or the socket fail.
    PlasmaOutputs(std::shared_ptr<PlasmaDesktops> desktops, const std::string& socketPath);
    // Gives every desktop it replaced its own wallpaper back.
    ~PlasmaOutputs() override;

    std::vector<Monitor> monitors() const override;
    // Throws std::runtime_error when plasmashell refuses a desktop.
    std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) override;
    std::vector<bool> hidden() const override;
    std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) override;
    EglNativeDisplay eglDisplay() const override { return {}; }
    // plasmashell draws the frames: the helper renders in software.
    bool mayOfferHardwareGl() const override { return false; }
    // The frames go over a socket of this process; plasmashell that goes
    // away is a desktop that stops reading, not a lost display.
    bool connected() const override { return true; }

  private:
    void desktopsChanged();
    static std::vector<PlasmaDesktop> onScreens(const PlasmaScript::Listing& listing);

    std::shared_ptr<PlasmaDesktops> desktops_;
    std::shared_ptr<FrameServer> server_;
    std::vector<PlasmaDesktop> listed_;
    std::vector<std::unique_ptr<PlasmaOutput>> shown_;
    std::vector<std::unique_ptr<PlasmaOutput>> retired_;  // valid until the next showOn
    int nextCanvas_ = 0;
};

}  // namespace lumivo
