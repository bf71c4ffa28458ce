#pragma once

#include <xcb/xcb.h>

#include <string>

struct _XDisplay;

namespace lumivo {

// A connection of the backend's own to the X server, through Xlib so that EGL
// can draw on it, with its xcb connection for everything else; xcb owns the
// event queue. A server that goes away ends this connection only, never the
// program (Xlib's I/O error handler is one for the process, and the usual
// ones exit). Closed on destruction. GUI thread only.
class X11Display {
  public:
    // Connects to `name` (empty: $DISPLAY). Throws HelperError::noMainScreen()
    // when no server answers.
    explicit X11Display(const std::string& name);
    ~X11Display();

    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    _XDisplay* get() const { return display_; }
    xcb_connection_t* connection() const { return connection_; }

  private:
    _XDisplay* display_;
    xcb_connection_t* connection_;  // owned by display_
};

}  // namespace lumivo
