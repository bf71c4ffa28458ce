#pragma once

#include "Monitor.hpp"

namespace lumivo {

// One monitor's wallpaper surface. Owned by its Outputs; valid until the next
// showOn() or the backend's destruction. GUI thread only.
class Output {
  public:
    virtual ~Output() = default;
    virtual const Monitor& monitor() const = 0;
    // Whether a picture may be drawn now: the surface has its size, and the
    // server wants a frame (Wayland paces with frame callbacks; X11 always).
    virtual bool ready() const = 0;
    // The native window EGL creates a window surface for (the GL path): a
    // pointer to the X11 Window id, or a wl_egl_window*.
    virtual void* eglNativeWindow() = 0;
    // The GL path is about to show a new picture (eglSwapBuffers); Wayland
    // asks for the frame callback that paces the next one here.
    virtual void willSwap() {}
};

}  // namespace lumivo
