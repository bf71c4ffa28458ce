#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FrameBuffer.hpp"
#include "Monitor.hpp"
#include "Output.hpp"

namespace lumivo {

// Where EGL draws: the platform (EGL_PLATFORM_X11_KHR, EGL_PLATFORM_WAYLAND_KHR)
// and its native display, owned by the backend.
struct EglNativeDisplay {
    unsigned platform = 0;
    void* display = nullptr;
    // The X visual windows are created with (0: any config will do).
    std::uint32_t visualId = 0;
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
    // A canvas of `width` x `height` pixels that presents itself on the
    // surfaces of showOn(); throws std::bad_alloc when the memory cannot be had.
    virtual std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) = 0;
    virtual EglNativeDisplay eglDisplay() const = 0;
    // False when the display server cannot lead to a hardware OpenGL driver at
    // all, so that finding out that OpenGL is software need not load one
    // (Mesa's llvmpipe stays resident at about 50 MiB once loaded).
    virtual bool mayOfferHardwareGl() const = 0;
    // Whether the connection to the display server still works. A failed
    // draw asks, as it may be the first sign of a server that went away; a
    // backend that answers false emits lost() soon, once.
    virtual bool connected() const = 0;
    // Whether other windows hide each surface of the last showOn() from view,
    // in that order. A backend that cannot tell returns none hidden (an empty
    // list, as here); a shorter list leaves the surfaces after it visible.
    virtual std::vector<bool> hidden() const { return {}; }
    // The name of the monitor the user is looking at (the pointer's on X11,
    // the one the desktop says it is working on elsewhere); absent when the
    // backend cannot tell, which means the main screen. May take one round
    // trip to the server.
    virtual std::optional<std::string> focusedMonitor() const { return std::nullopt; }

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
    // Something about the desktop worth a line in the log once per process,
    // such as the desktop icons an opaque desktop window keeps under the video.
    void noted(const QString& message);
};

}  // namespace lumivo
