#include "LayerShellOutput.hpp"

#include <wayland-egl.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

#include "ShmFrameBuffer.hpp"

namespace lumivo {
namespace {

// Compositors stop calling back for a surface nobody can see (covered by a
// fullscreen window, on a workspace not shown); a second without the frame
// asked for counts as hidden. Frames come 30 to 60 times a second otherwise.
constexpr int hiddenAfterMs = 1000;

LayerShellOutput* self(void* data) {
    return static_cast<LayerShellOutput*>(data);
}

}  // namespace

void LayerShellOutput::DestroyEglWindow::operator()(wl_egl_window* window) const noexcept {
    wl_egl_window_destroy(window);
}

LayerShellOutput::LayerShellOutput(const LayerShellGlobals& globals, wl_output* output,
                                   const Monitor& monitor, int scale, Events events)
    : globals_(globals),
      monitor_(monitor),
      scale_(std::max(scale, 1)),
      events_(std::move(events)),
      surface_(wl_compositor_create_surface(globals.compositor)) {
    if (globals.layerShell != nullptr) {
        makeLayerSurface(output);
    } else {
        makeToplevel();
    }
    // An empty input region: clicks go to whatever lies below, the desktop.
    WaylandProxy<wl_region> region(wl_compositor_create_region(globals.compositor));
    wl_surface_set_input_region(surface_.get(), region.get());
    if (globals.viewporter != nullptr) {
        viewport_.reset(wp_viewporter_get_viewport(globals.viewporter, surface_.get()));
    }
    wl_surface_commit(surface_.get());
    frameWait_.setSingleShot(true);
    frameWait_.setInterval(hiddenAfterMs);
    QObject::connect(&frameWait_, &QTimer::timeout, [this] { setHidden(frame_ != nullptr); });
}

void LayerShellOutput::makeLayerSurface(wl_output* output) {
    layer_.reset(zwlr_layer_shell_v1_get_layer_surface(globals_.layerShell, surface_.get(), output,
                                                       globals_.bottomLayer
                                                           ? ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM
                                                           : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
                                                       "lumivo-wallpaper"));
    zwlr_layer_surface_v1_add_listener(layer_.get(), &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
}

void LayerShellOutput::makeToplevel() {
    xdgSurface_.reset(xdg_wm_base_get_xdg_surface(globals_.wmBase, surface_.get()));
    xdg_surface_add_listener(xdgSurface_.get(), &xdgSurfaceListener, this);
    toplevel_.reset(xdg_surface_get_toplevel(xdgSurface_.get()));
    xdg_toplevel_add_listener(toplevel_.get(), &toplevelListener, this);
    xdg_toplevel_set_app_id(toplevel_.get(), "lumivo-wallpaper");
    describeToplevel();
}

// The Shell's extension reads where the surface belongs from its title; a
// fixed size keeps the window manager from maximising or resizing it.
void LayerShellOutput::describeToplevel() {
    const Rect& g = monitor_.geometry;
    const int width = std::max(g.width / scale_, 1), height = std::max(g.height / scale_, 1);
    const std::string title = "lumivo-wallpaper " + std::to_string(g.x) + " " +
                              std::to_string(g.y) + " " + std::to_string(width) + " " +
                              std::to_string(height);
    xdg_toplevel_set_title(toplevel_.get(), title.c_str());
    xdg_toplevel_set_min_size(toplevel_.get(), width, height);
    xdg_toplevel_set_max_size(toplevel_.get(), width, height);
}

LayerShellOutput::~LayerShellOutput() {
    detach();
}

void LayerShellOutput::detach() {
    frameWait_.stop();
    hidden_ = false;
    // The role objects go before their surface, as the protocols ask.
    frame_.reset();
    eglWindow_.reset();
    viewport_.reset();
    layer_.reset();
    toplevel_.reset();
    xdgSurface_.reset();
    surface_.reset();
}

void LayerShellOutput::setMonitor(const Monitor& monitor, int scale) {
    monitor_ = monitor;
    scale_ = std::max(scale, 1);
    if (toplevel_) {
        // The toplevel's size is its own; the new one comes with the next picture.
        describeToplevel();
        configured(monitor_.geometry.width / scale_, monitor_.geometry.height / scale_);
        return;
    }
    resizeEglWindow();
}

void LayerShellOutput::present(ShmFrameBuffer& canvas, const Rect& source) {
    if (!ready() || source.empty() || source.x < 0 || source.y < 0 ||
        source.x + source.width > canvas.width() || source.y + source.height > canvas.height()) {
        return;
    }
    // Pixel for pixel: the compositor scales by the output's scale, or to the
    // surface's size where it can.
    if (viewport_) {
        wp_viewport_set_destination(viewport_.get(), width_, height_);
    } else {
        wl_surface_set_buffer_scale(surface_.get(), scale_);
    }
    wl_surface_attach(surface_.get(),
                      canvas.current().attach(source.x, source.y, source.width, source.height), 0,
                      0);
    wl_surface_damage_buffer(surface_.get(), 0, 0, INT32_MAX, INT32_MAX);
    requestFrame();
    wl_surface_commit(surface_.get());
}

bool LayerShellOutput::ready() const {
    if (frame_) {
        missed_ = true;
        return false;
    }
    return attached() && width_ > 0;
}

void LayerShellOutput::requestFrame() {
    frame_.reset(wl_surface_frame(surface_.get()));
    wl_callback_add_listener(frame_.get(), &frameListener, this);
    // The Shell that shows a toplevel in its background reports what hides
    // it; its frame callbacks only pace (they lag while it is busy).
    if (!toplevel_) {
        frameWait_.start();
    }
}

void LayerShellOutput::frameCame() {
    frame_.reset();
    frameWait_.stop();
    setHidden(false);
}

void LayerShellOutput::setHidden(bool hidden) {
    if (hidden != hidden_) {
        hidden_ = hidden;
        if (events_.hiddenChanged) {
            events_.hiddenChanged();
        }
    }
}

void* LayerShellOutput::eglNativeWindow() {
    if (!eglWindow_ && surface_) {
        // EGL needs the window before the first configure may have come; no
        // picture is committed before it has (ready()).
        const bool configured = width_ > 0 && height_ > 0;
        eglWindow_.reset(wl_egl_window_create(
            surface_.get(), configured ? width_ * scale_ : std::max(monitor_.geometry.width, 1),
            configured ? height_ * scale_ : std::max(monitor_.geometry.height, 1)));
        wl_surface_set_buffer_scale(surface_.get(), scale_);
    }
    return eglWindow_.get();
}

void LayerShellOutput::willSwap() {
    if (ready()) {
        requestFrame();
    }
}

void LayerShellOutput::resizeEglWindow() {
    if (eglWindow_ && width_ > 0 && height_ > 0) {
        wl_egl_window_resize(eglWindow_.get(), width_ * scale_, height_ * scale_, 0, 0);
        wl_surface_set_buffer_scale(surface_.get(), scale_);
    }
}

void LayerShellOutput::configured(int width, int height) {
    width_ = width;
    height_ = height;
    resizeEglWindow();
    // The new size needs a picture even while the last frame is pending.
    missed_ = false;
    frameCame();
    if (events_.redrawNeeded) {
        events_.redrawNeeded();
    }
}

void LayerShellOutput::closed() {
    detach();
    if (events_.closed) {
        events_.closed();
    }
}

const zwlr_layer_surface_v1_listener LayerShellOutput::layerListener = {
    .configure =
        [](void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
           uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(layer, serial);
            self(data)->configured(static_cast<int>(width), static_cast<int>(height));
        },
    .closed = [](void* data, zwlr_layer_surface_v1*) { self(data)->closed(); },
};

// A toplevel's size comes in xdg_toplevel.configure and applies with the
// xdg_surface.configure after it; 0 leaves it to the client: the monitor's.
const xdg_surface_listener LayerShellOutput::xdgSurfaceListener = {
    .configure =
        [](void* data, xdg_surface* surface, uint32_t serial) {
            xdg_surface_ack_configure(surface, serial);
            auto* output = self(data);
            const Rect& g = output->monitor_.geometry;
            output->configured(
                output->pendingWidth_ > 0 ? output->pendingWidth_ : g.width / output->scale_,
                output->pendingHeight_ > 0 ? output->pendingHeight_ : g.height / output->scale_);
        },
};

const xdg_toplevel_listener LayerShellOutput::toplevelListener = {
    .configure =
        [](void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
            self(data)->pendingWidth_ = width;
            self(data)->pendingHeight_ = height;
        },
    .close = [](void* data, xdg_toplevel*) { self(data)->closed(); },
    .configure_bounds = [](void*, xdg_toplevel*, int32_t, int32_t) {},
    .wm_capabilities = [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_callback_listener LayerShellOutput::frameListener = {
    .done =
        [](void* data, wl_callback*, uint32_t) {
            auto* output = self(data);
            const bool missed = std::exchange(output->missed_, false);
            output->frameCame();
            if (missed && output->events_.redrawNeeded) {
                output->events_.redrawNeeded();
            }
        },
};

}  // namespace lumivo
