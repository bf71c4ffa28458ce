#pragma once

#include <xcb/xcb.h>

#include "Output.hpp"

namespace lumivo {

// The wallpaper window on one X11 monitor: typed _NET_WM_WINDOW_TYPE_DESKTOP,
// on every workspace, below all other windows, skipping taskbar and pager,
// never focused, and with an empty input shape so clicks reach the desktop.
// Black until the first picture. Destroyed with this object.
class X11Output : public Output {
  public:
    // Creates and maps the window over `monitor` on `connection`'s first screen.
    X11Output(xcb_connection_t* connection, const Monitor& monitor);
    ~X11Output() override;

    X11Output(const X11Output&) = delete;
    X11Output& operator=(const X11Output&) = delete;

    const Monitor& monitor() const override { return monitor_; }
    bool ready() const override { return true; }
    void* eglNativeWindow() override { return &window_; }

    // Follows the monitor to a new place or size; the picture is redrawn on
    // the next frame.
    void moveTo(const Monitor& monitor);
    // The window; 0 once another client destroyed it.
    xcb_window_t window() const { return window_; }
    // Sets the empty input region again. A reparenting window manager gives
    // the frame it puts the window in an input region of its own, which
    // would take the clicks meant for the desktop; it copies the window's
    // region when that changes after the reparenting.
    void passClicksThrough();
    // Another client destroyed the window: nothing is drawn into it, nor
    // destroyed again.
    void forgetWindow() { window_ = 0; }
    // The graphics context pictures are put into the window with.
    xcb_gcontext_t gc() const { return gc_; }

  private:
    void setDesktopProperties();

    xcb_connection_t* connection_;
    Monitor monitor_;
    xcb_window_t window_ = 0;
    xcb_gcontext_t gc_ = 0;
};

}  // namespace lumivo
