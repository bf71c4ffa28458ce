#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Monitor.hpp"

namespace lumivo {

// Memory the software renderer draws a canvas into: 32-bit pixels, bytes B, G,
// R, X in that order, rows `stride` bytes apart. The backend allocates it so
// that it can hand it to the display server without a copy (MIT-SHM, wl_shm).
class FrameBuffer {
  public:
    virtual ~FrameBuffer() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual std::size_t stride() const = 0;
    // The pixels, once the display server no longer reads the previous
    // picture from them; may wait for the server briefly.
    virtual std::uint8_t* acquire() = 0;
};

// Where EGL draws: the platform (EGL_PLATFORM_X11_KHR, EGL_PLATFORM_WAYLAND_KHR)
// and its native display, owned by the backend.
struct EglNativeDisplay {
    unsigned platform = 0;
    void* display = nullptr;
    // The X visual windows are created with (0: any config will do).
    std::uint32_t visualId = 0;
};

// One monitor's wallpaper surface. Owned by its Outputs; valid until the next
// showOn() or the backend's destruction. GUI thread only.
class Output {
  public:
    virtual ~Output() = default;
    virtual const Monitor& monitor() const = 0;
    // Whether a picture may be drawn now: the surface has its size, and the
    // server wants a frame (Wayland paces with frame callbacks; X11 always).
    virtual bool ready() const = 0;
    // Shows `source` of `buffer` (the software path), pixel for pixel.
    virtual void present(FrameBuffer& buffer, const Rect& source) = 0;
    // The native window EGL creates a window surface for (the GL path): a
    // pointer to the X11 Window id, or a wl_egl_window*.
    virtual void* eglNativeWindow() = 0;
    // The GL path is about to show a new picture (eglSwapBuffers); Wayland
    // asks for the frame callback that paces the next one here.
    virtual void willSwap() {}
};

// A display backend: the monitors of one session and a desktop-level surface
// on each one the wallpaper shows on. Owns its own connection to the display
// server and dispatches it from the Qt event loop; never blocks on the server
// for longer than a round trip. GUI thread only.
class Outputs : public QObject {
    Q_OBJECT
  public:
    // The monitors as last reported by the server.
    virtual std::vector<Monitor> monitors() const = 0;
    // Puts a surface on exactly the monitors with these indices into
    // monitors() (moving, resizing or removing the existing ones) and returns
    // them in the same order.
    virtual std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) = 0;
    // A buffer for a `width` x `height` canvas; throws std::bad_alloc when
    // the memory cannot be had.
    virtual std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) = 0;
    virtual EglNativeDisplay eglDisplay() const = 0;
    // False when the display server cannot lead to a hardware OpenGL driver at
    // all, so that finding out that OpenGL is software need not load one
    // (Mesa's llvmpipe stays resident at about 50 MiB once loaded).
    virtual bool mayOfferHardwareGl() const = 0;
    // Whether other windows hide each surface of the last showOn() from view,
    // in that order. A backend that cannot tell returns none hidden (an empty
    // list, as here); a shorter list leaves the surfaces after it visible.
    virtual std::vector<bool> hidden() const { return {}; }

  signals:
    // Monitors were added, removed, moved or resized, or the primary changed.
    void monitorsChanged();
    // A surface lost its picture (exposed, configured) or is ready again
    // for a picture it had to miss, and wants the current frame drawn.
    void redrawNeeded();
    // The server closed a surface or the connection; `reason` is for the log.
    void lost(const QString& reason);
    // The flags of hidden() changed while the surfaces stayed; a change that
    // showOn() makes is read from hidden() after it, without this signal.
    void hiddenChanged();
};

}  // namespace lumivo
