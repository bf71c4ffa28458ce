#include "LayerShellOutput.hpp"

#include <wayland-egl.h>

#include <algorithm>
#include <climits>
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
      surface_(wl_compositor_create_surface(globals.compositor)),
      layer_(zwlr_layer_shell_v1_get_layer_surface(globals.layerShell, surface_.get(), output,
                                                   globals.bottomLayer
                                                       ? ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM
                                                       : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
                                                   "lumivo-wallpaper")) {
    zwlr_layer_surface_v1_add_listener(layer_.get(), &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
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

LayerShellOutput::~LayerShellOutput() {
    detach();
}

void LayerShellOutput::detach() {
    frameWait_.stop();
    hidden_ = false;
    // The role object goes before its surface, as the protocol asks.
    frame_.reset();
    eglWindow_.reset();
    viewport_.reset();
    layer_.reset();
    surface_.reset();
}

void LayerShellOutput::setMonitor(const Monitor& monitor, int scale) {
    monitor_ = monitor;
    scale_ = std::max(scale, 1);
    resizeEglWindow();
}

void LayerShellOutput::present(FrameBuffer& frameBuffer, const Rect& source) {
    auto* canvas = dynamic_cast<ShmFrameBuffer*>(&frameBuffer);
    if (!ready() || canvas == nullptr || source.empty() || source.x < 0 || source.y < 0 ||
        source.x + source.width > canvas->width() || source.y + source.height > canvas->height()) {
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
                      canvas->current().attach(source.x, source.y, source.width, source.height), 0,
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
    return layer_ && width_ > 0;
}

void LayerShellOutput::requestFrame() {
    frame_.reset(wl_surface_frame(surface_.get()));
    wl_callback_add_listener(frame_.get(), &frameListener, this);
    frameWait_.start();
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

const zwlr_layer_surface_v1_listener LayerShellOutput::layerListener = {
    .configure =
        [](void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
           uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(layer, serial);
            auto* output = self(data);
            output->width_ = static_cast<int>(width);
            output->height_ = static_cast<int>(height);
            output->resizeEglWindow();
            // The new size needs a picture even while the last frame is pending.
            output->missed_ = false;
            output->frameCame();
            if (output->events_.redrawNeeded) {
                output->events_.redrawNeeded();
            }
        },
    .closed =
        [](void* data, zwlr_layer_surface_v1*) {
            auto* output = self(data);
            output->detach();
            if (output->events_.closed) {
                output->events_.closed();
            }
        },
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
