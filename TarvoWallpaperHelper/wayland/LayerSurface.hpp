#pragma once

#include <array>
#include <functional>
#include <memory>

#include "ShmBuffer.hpp"
#include "SoftwareFrame.hpp"
#include "WaylandProxy.hpp"

namespace lumivo {

// The globals a wallpaper surface needs; viewporter may be absent.
struct LayerShellGlobals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    wp_viewporter* viewporter = nullptr;
};

// The wallpaper's surface on one output: the background layer, anchored to
// every edge, over everything the compositor reserves (exclusive zone -1),
// taking neither keyboard nor pointer. Paced by frame callbacks: it takes a
// frame once configured and again each time the compositor showed the last.
// Not movable: listeners point at it. Must be destroyed before its display.
class LayerSurface {
  public:
    struct Events {
        std::function<void()> configured;  // the size is known or changed
        std::function<void()> frameWanted;
        std::function<void()> closed;  // the compositor took the surface away
    };

    LayerSurface(const LayerShellGlobals& globals, wl_output* output, int scale, Events events);
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    bool configured() const { return width_ > 0 && height_ > 0; }
    bool wantsFrame() const { return configured() && !frame_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Shows `crop` of `frame` scaled to the surface. With wp_viewporter only
    // the crop is copied and the compositor scales it; without, it is scaled
    // here. Ignored unless wantsFrame().
    void present(const SoftwareFrame& frame, const FrameCrop& crop);

  private:
    static const zwlr_layer_surface_v1_listener layerListener;
    static const wl_callback_listener frameListener;
    ShmBuffer* freeBuffer(int width, int height);

    LayerShellGlobals globals_;
    int scale_;
    Events events_;
    int width_ = 0, height_ = 0;
    std::array<std::unique_ptr<ShmBuffer>, 3> buffers_;
    WaylandProxy<wl_surface> surface_;
    WaylandProxy<zwlr_layer_surface_v1> layer_;
    WaylandProxy<wp_viewport> viewport_;
    WaylandProxy<wl_callback> frame_;
};

}  // namespace lumivo
