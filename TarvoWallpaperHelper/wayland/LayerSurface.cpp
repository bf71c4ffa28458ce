#include "LayerSurface.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lumivo {
namespace {

LayerSurface* self(void* data) {
    return static_cast<LayerSurface*>(data);
}

// Nearest-neighbour scaling of `crop` into `target`, for compositors without
// wp_viewporter.
void scaleInto(const SoftwareFrame& frame, const FrameCrop& crop, ShmBuffer& target) {
    const int w = target.width(), h = target.height();
    for (int y = 0; y < h; ++y) {
        const int sy = crop.y + static_cast<int>(static_cast<int64_t>(y) * crop.height / h);
        const auto* src = reinterpret_cast<const uint32_t*>(frame.pixels + sy * frame.stride);
        auto* dst = reinterpret_cast<uint32_t*>(target.pixels() + y * target.stride());
        for (int x = 0; x < w; ++x) {
            dst[x] = src[crop.x + static_cast<int>(static_cast<int64_t>(x) * crop.width / w)];
        }
    }
}

void copyInto(const SoftwareFrame& frame, const FrameCrop& crop, ShmBuffer& target) {
    for (int y = 0; y < crop.height; ++y) {
        std::memcpy(target.pixels() + y * target.stride(),
                    frame.pixels + (crop.y + y) * frame.stride + crop.x * 4u, target.stride());
    }
}

}  // namespace

LayerSurface::LayerSurface(const LayerShellGlobals& globals, wl_output* output, int scale,
                           Events events)
    : globals_(globals),
      scale_(std::max(scale, 1)),
      events_(std::move(events)),
      surface_(wl_compositor_create_surface(globals.compositor)),
      layer_(zwlr_layer_shell_v1_get_layer_surface(globals.layerShell, surface_.get(), output,
                                                   ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
                                                   "lumivo-wallpaper")) {
    zwlr_layer_surface_v1_add_listener(layer_.get(), &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_.get(), 0);
    // An empty input region: clicks go to whatever lies below, the desktop.
    WaylandProxy<wl_region> region(wl_compositor_create_region(globals.compositor));
    wl_surface_set_input_region(surface_.get(), region.get());
    if (globals.viewporter != nullptr) {
        viewport_.reset(wp_viewporter_get_viewport(globals.viewporter, surface_.get()));
    } else {
        wl_surface_set_buffer_scale(surface_.get(), scale_);
    }
    wl_surface_commit(surface_.get());
}

LayerSurface::~LayerSurface() {
    // Role object before the surface, as the protocol asks.
    frame_.reset();
    viewport_.reset();
    layer_.reset();
    surface_.reset();
}

ShmBuffer* LayerSurface::freeBuffer(int width, int height) {
    for (auto& buffer : buffers_) {
        if (buffer && !buffer->busy() && (buffer->width() != width || buffer->height() != height)) {
            buffer.reset();
        }
        if (buffer && !buffer->busy()) {
            return buffer.get();
        }
    }
    for (auto& buffer : buffers_) {
        if (!buffer) {
            buffer = ShmBuffer::create(globals_.shm, width, height);
            return buffer.get();
        }
    }
    return nullptr;
}

void LayerSurface::present(const SoftwareFrame& frame, const FrameCrop& crop) {
    if (!wantsFrame() || crop.width <= 0 || crop.height <= 0 || crop.x < 0 || crop.y < 0 ||
        crop.x + crop.width > frame.width || crop.y + crop.height > frame.height) {
        return;
    }
    const bool compositorScales = viewport_ != nullptr;
    ShmBuffer* buffer = compositorScales ? freeBuffer(crop.width, crop.height)
                                         : freeBuffer(width_ * scale_, height_ * scale_);
    if (buffer == nullptr) {
        return;
    }
    if (compositorScales) {
        copyInto(frame, crop, *buffer);
        wp_viewport_set_destination(viewport_.get(), width_, height_);
    } else {
        scaleInto(frame, crop, *buffer);
    }
    wl_surface_attach(surface_.get(), buffer->attach(), 0, 0);
    wl_surface_damage_buffer(surface_.get(), 0, 0, INT32_MAX, INT32_MAX);
    frame_.reset(wl_surface_frame(surface_.get()));
    wl_callback_add_listener(frame_.get(), &frameListener, this);
    wl_surface_commit(surface_.get());
}

const zwlr_layer_surface_v1_listener LayerSurface::layerListener = {
    .configure =
        [](void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
           uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(layer, serial);
            auto* surface = self(data);
            const bool first = !surface->configured();
            surface->width_ = static_cast<int>(width);
            surface->height_ = static_cast<int>(height);
            if (surface->events_.configured) {
                surface->events_.configured();
            }
            if (first && surface->wantsFrame() && surface->events_.frameWanted) {
                surface->events_.frameWanted();
            }
        },
    .closed =
        [](void* data, zwlr_layer_surface_v1*) {
            if (self(data)->events_.closed) {
                self(data)->events_.closed();
            }
        },
};

const wl_callback_listener LayerSurface::frameListener = {
    .done =
        [](void* data, wl_callback*, uint32_t) {
            auto* surface = self(data);
            surface->frame_.reset();
            if (surface->events_.frameWanted) {
                surface->events_.frameWanted();
            }
        },
};

}  // namespace lumivo
