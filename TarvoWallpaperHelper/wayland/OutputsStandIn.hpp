#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The player's display-backend interface (Outputs, Output, FrameBuffer and the
// Rect and Monitor they use), repeated in a namespace of its own so that the
// Wayland backend builds and is tested on its own. When the two meet, this
// header goes and the backend derives from the player's types instead.
namespace lumivo::standin {

// A rectangle in pixels; monitors use global desktop coordinates.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const Rect&) const = default;
};

// One monitor as a display backend reports it.
struct Monitor {
    std::string name;
    Rect geometry;
    bool primary = false;
    bool operator==(const Monitor&) const = default;
};

// Memory the software renderer draws a canvas into: 32-bit pixels, bytes B,
// G, R, X, rows `stride` bytes apart, shared with the display server.
class FrameBuffer {
  public:
    virtual ~FrameBuffer() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual std::size_t stride() const = 0;
    // The pixels, once the server no longer reads the previous picture.
    virtual std::uint8_t* acquire() = 0;
};

// Where EGL draws: the platform and its native display, owned by the backend.
struct EglNativeDisplay {
    unsigned platform = 0;
    void* display = nullptr;
    std::uint32_t visualId = 0;
};

// One monitor's wallpaper surface; valid until the next showOn() or the
// backend's destruction.
class Output {
  public:
    virtual ~Output() = default;
    virtual const Monitor& monitor() const = 0;
    // The surface has its size and the server wants a frame.
    virtual bool ready() const = 0;
    // Shows `source` of `buffer` (the software path), pixel for pixel.
    virtual void present(FrameBuffer& buffer, const Rect& source) = 0;
    // The native window EGL creates a window surface for (the GL path).
    virtual void* eglNativeWindow() = 0;
};

// A display backend: the monitors of one session and a wallpaper surface on
// each one shown on.
class Outputs : public QObject {
    Q_OBJECT
  public:
    virtual std::vector<Monitor> monitors() const = 0;
    // Surfaces on exactly these indices into monitors(), in the same order.
    virtual std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) = 0;
    // Throws std::bad_alloc when the memory cannot be had.
    virtual std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) = 0;
    virtual EglNativeDisplay eglDisplay() const = 0;
    virtual bool mayOfferHardwareGl() const = 0;

  signals:
    void monitorsChanged();
    void redrawNeeded();
    void lost(const QString& reason);
};

}  // namespace lumivo::standin
