#pragma once

#include <QTimer>
#include <functional>
#include <memory>

#include "Output.hpp"
#include "ShmBuffer.hpp"

struct wl_egl_window;

namespace lumivo {

class ShmFrameBuffer;

// The globals a wallpaper surface needs; the viewporter may be absent. With
// a layer shell the surfaces go on its background layer (or the bottom one);
// without one they are toplevels of `wmBase`.
struct LayerShellGlobals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    wp_viewporter* viewporter = nullptr;
    xdg_wm_base* wmBase = nullptr;
    // The bottom layer instead of the background: KWin stacks background
    // surfaces with plasmashell's desktop window, which a click raises.
    bool bottomLayer = false;
};

// The wallpaper's surface on one wl_output: on the background (or bottom)
// layer, anchored to every edge, over the zones other surfaces reserve (exclusive zone -1),
// taking neither keys nor clicks, namespace "lumivo-wallpaper". Where the
// Shell puts the wallpaper into its background itself (GNOME, through its
// extension), an xdg_toplevel instead: app id "lumivo-wallpaper", the
// monitor's logical size fixed (never maximised or resized), no clicks, and
// the title "lumivo-wallpaper X Y WIDTH HEIGHT" telling the Shell the logical
// rectangle of the desktop it shows. Ready once the
// compositor gave it a size, and again each time it showed the last picture
// (frame callbacks). Hidden while a frame it asked for has not come for a
// second: compositors call back only for surfaces someone can see (a
// toplevel never counts as hidden this way: its Shell reports that). After
// closed or detach() it holds no Wayland object and is never ready or hidden.
// Not movable: listeners point at it.
class LayerShellOutput : public Output {
  public:
    struct Events {
        std::function<void()> redrawNeeded;   // configured, or ready for a frame again
        std::function<void()> closed;         // the compositor took the surface away
        std::function<void()> hiddenChanged;  // hidden() changed
    };

    LayerShellOutput(const LayerShellGlobals& globals, wl_output* output, const Monitor& monitor,
                     int scale, Events events);
    ~LayerShellOutput() override;
    LayerShellOutput(const LayerShellOutput&) = delete;
    LayerShellOutput& operator=(const LayerShellOutput&) = delete;

    const Monitor& monitor() const override { return monitor_; }
    // Not ready while the last picture's frame callback is pending; asking
    // then marks the surface as having missed a picture, and the callback
    // asks for a redraw. A callback that nobody waited for asks for nothing,
    // so that a still picture costs no drawing at all.
    bool ready() const override;
    // The compositor reads `source` straight from the canvas's memory. Nothing
    // unless ready() and `source` lies within the canvas.
    void present(ShmFrameBuffer& canvas, const Rect& source);
    // A wl_egl_window of the surface's size in pixels (the monitor's until
    // the compositor gives one), made on first use.
    void* eglNativeWindow() override;
    // Asks for the frame callback of the picture eglSwapBuffers commits.
    void willSwap() override;

    void setMonitor(const Monitor& monitor, int scale);
    bool hidden() const { return hidden_; }
    // False once closed or detached.
    bool attached() const { return layer_ != nullptr || toplevel_ != nullptr; }
    // Releases every Wayland object (the output went away, or the
    // connection); the object stays valid for its owner and is never ready.
    void detach();

  private:
    struct DestroyEglWindow {
        void operator()(wl_egl_window* window) const noexcept;
    };
    static const zwlr_layer_surface_v1_listener layerListener;
    static const xdg_surface_listener xdgSurfaceListener;
    static const xdg_toplevel_listener toplevelListener;
    static const wl_callback_listener frameListener;
    void makeLayerSurface(wl_output* output);
    void makeToplevel();
    void describeToplevel();
    void configured(int width, int height);
    void closed();
    void resizeEglWindow();
    void requestFrame();
    void frameCame();
    void setHidden(bool hidden);

    LayerShellGlobals globals_;
    Monitor monitor_;
    int scale_;
    Events events_;
    int width_ = 0, height_ = 0;  // logical, from the compositor
    WaylandProxy<wl_surface> surface_;
    WaylandProxy<zwlr_layer_surface_v1> layer_;
    WaylandProxy<xdg_surface> xdgSurface_;
    WaylandProxy<xdg_toplevel> toplevel_;       // before xdgSurface_
    int pendingWidth_ = 0, pendingHeight_ = 0;  // the toplevel's last configure
    WaylandProxy<wp_viewport> viewport_;
    WaylandProxy<wl_callback> frame_;
    QTimer frameWait_;  // single shot: the frame asked for has not come
    bool hidden_ = false;
    mutable bool missed_ = false;  // a picture was held back by the pending frame
    std::unique_ptr<wl_egl_window, DestroyEglWindow> eglWindow_;  // before the surface
};

}  // namespace lumivo
