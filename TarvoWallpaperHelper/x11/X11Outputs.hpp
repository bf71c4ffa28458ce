#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Outputs.hpp"
#include "X11Coverage.hpp"
#include "X11DesktopStacking.hpp"
#include "X11Display.hpp"
#include "X11Output.hpp"

namespace lumivo {

// The X11 backend: its own connection to the X server (Xlib, so that EGL can
// draw on it, with xcb for everything else), the monitors from RandR
// (`xrandr --setmonitor` ones included), and one desktop window per monitor
// shown on. Follows RandR changes within a second, the window manager
// (X11Coverage, on a connection of its own) for windows that hide the monitors
// shown on, and keeps the windows on the right side of a file manager's
// desktop window (X11DesktopStacking, another connection). GUI thread only.
class X11Outputs : public Outputs {
    Q_OBJECT
  public:
    // Connects to `display` (empty: $DISPLAY). Throws HelperError::noMainScreen()
    // when there is no X server to connect to or it reports no monitor.
    explicit X11Outputs(const std::string& display = {});
    ~X11Outputs() override;

    std::vector<Monitor> monitors() const override { return monitors_; }
    std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) override;
    std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) override;
    EglNativeDisplay eglDisplay() const override;
    // Whether the server offers DRI3, DRI2 with a driver, or NVIDIA's GLX:
    // without them every OpenGL driver on it draws in software.
    bool mayOfferHardwareGl() const override { return directRendering_; }
    bool connected() const override;
    std::vector<bool> hidden() const override { return coverage_->hidden(); }
    // The monitor under the pointer (one round trip); none when the pointer
    // is on another screen of the display or between monitors.
    std::optional<std::string> focusedMonitor() const override;

  private:
    bool hasExtension(std::string_view name);
    bool hasDri2Driver();
    std::vector<Monitor> queryMonitors();
    // Handles the events xcb has queued, after reading the socket if asked.
    void dispatch(bool readSocket);
    void rescan();

    X11Display display_;
    xcb_connection_t* connection_ = nullptr;  // display_'s
    xcb_window_t root_ = 0;
    uint32_t rootVisual_ = 0;
    uint8_t randrEvents_ = 0;  // first event code of RandR; 0 without it
    bool randr15_ = false;
    bool shm_ = false;
    bool directRendering_ = false;
    std::vector<Monitor> monitors_;
    std::vector<std::unique_ptr<X11Output>> outputs_;
    std::unique_ptr<X11Coverage> coverage_;
    std::unique_ptr<X11DesktopStacking> stacking_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer rescanSoon_;
    QMetaObject::Connection aboutToBlock_;
};

}  // namespace lumivo
