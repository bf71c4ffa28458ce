#include "WaylandOutput.hpp"

#include <algorithm>

namespace lumivo {
namespace {

WaylandOutput* self(void* data) {
    return static_cast<WaylandOutput*>(data);
}

}  // namespace

WaylandOutput::WaylandOutput(wl_registry* registry, uint32_t globalName, uint32_t version)
    : output_(static_cast<wl_output*>(
          wl_registry_bind(registry, globalName, &wl_output_interface, std::min(version, 4u)))) {
    info_.globalName = globalName;
    wl_output_add_listener(output_.get(), &outputListener, this);
}

void WaylandOutput::describeWith(zxdg_output_manager_v1* manager) {
    if (xdgOutput_ || manager == nullptr) {
        return;
    }
    xdgOutput_.reset(zxdg_output_manager_v1_get_xdg_output(manager, output_.get()));
    zxdg_output_v1_add_listener(xdgOutput_.get(), &xdgOutputListener, this);
}

void WaylandOutput::finish() {
    if (!logicalFromXdg_ && info_.modeWidth > 0) {
        // Without xdg-output, the best guess ignores any rotation.
        int scale = std::max(info_.scale, 1);
        info_.logicalWidth = info_.modeWidth / scale;
        info_.logicalHeight = info_.modeHeight / scale;
    }
    if (changed_) {
        changed_();
    }
}

const wl_output_listener WaylandOutput::outputListener = {
    .geometry =
        [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
           const char*, int32_t) {
            if (!self(data)->logicalFromXdg_) {
                self(data)->info_.x = x;
                self(data)->info_.y = y;
            }
        },
    .mode =
        [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
            if (flags & WL_OUTPUT_MODE_CURRENT) {
                self(data)->info_.modeWidth = width;
                self(data)->info_.modeHeight = height;
            }
        },
    .done = [](void* data, wl_output*) { self(data)->finish(); },
    .scale = [](void* data, wl_output*, int32_t factor) { self(data)->info_.scale = factor; },
    .name = [](void* data, wl_output*, const char* name) { self(data)->info_.name = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener WaylandOutput::xdgOutputListener = {
    .logical_position =
        [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
            self(data)->logicalFromXdg_ = true;
            self(data)->info_.x = x;
            self(data)->info_.y = y;
        },
    .logical_size =
        [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
            self(data)->logicalFromXdg_ = true;
            self(data)->info_.logicalWidth = width;
            self(data)->info_.logicalHeight = height;
        },
    // Sent up to version 2 only; from 3 on, wl_output.done ends the change.
    .done = [](void* data, zxdg_output_v1*) { self(data)->finish(); },
    .name = [](void* data, zxdg_output_v1*, const char* name) { self(data)->info_.name = name; },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

}  // namespace lumivo
