#pragma once

#include <wayland-client.h>

#include <memory>

// The layer-shell header names a parameter `namespace`; wayland-client.h is
// already in, so the rename reaches that header only.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "viewporter-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace lumivo {

// How each Wayland client object the helper holds is released: with the
// destroy or release request its protocol names, or wl_proxy_destroy for
// objects without one.
template <typename T>
struct WaylandRelease;

#define LUMIVO_WAYLAND_RELEASE(Type, release)                             \
    template <>                                                           \
    struct WaylandRelease<Type> {                                         \
        void operator()(Type* object) const noexcept { release(object); } \
    }

LUMIVO_WAYLAND_RELEASE(wl_display, wl_display_disconnect);
LUMIVO_WAYLAND_RELEASE(wl_registry, wl_registry_destroy);
LUMIVO_WAYLAND_RELEASE(wl_callback, wl_callback_destroy);
LUMIVO_WAYLAND_RELEASE(wl_compositor, wl_compositor_destroy);
LUMIVO_WAYLAND_RELEASE(wl_surface, wl_surface_destroy);
LUMIVO_WAYLAND_RELEASE(wl_region, wl_region_destroy);
LUMIVO_WAYLAND_RELEASE(wl_shm, wl_shm_destroy);
LUMIVO_WAYLAND_RELEASE(wl_shm_pool, wl_shm_pool_destroy);
LUMIVO_WAYLAND_RELEASE(wl_buffer, wl_buffer_destroy);
LUMIVO_WAYLAND_RELEASE(zwlr_layer_shell_v1, zwlr_layer_shell_v1_destroy);
LUMIVO_WAYLAND_RELEASE(zwlr_layer_surface_v1, zwlr_layer_surface_v1_destroy);
LUMIVO_WAYLAND_RELEASE(wp_viewporter, wp_viewporter_destroy);
LUMIVO_WAYLAND_RELEASE(wp_viewport, wp_viewport_destroy);
LUMIVO_WAYLAND_RELEASE(zxdg_output_manager_v1, zxdg_output_manager_v1_destroy);
LUMIVO_WAYLAND_RELEASE(zxdg_output_v1, zxdg_output_v1_destroy);
LUMIVO_WAYLAND_RELEASE(zwlr_foreign_toplevel_handle_v1, zwlr_foreign_toplevel_handle_v1_destroy);
LUMIVO_WAYLAND_RELEASE(xdg_wm_base, xdg_wm_base_destroy);
LUMIVO_WAYLAND_RELEASE(xdg_surface, xdg_surface_destroy);
LUMIVO_WAYLAND_RELEASE(xdg_toplevel, xdg_toplevel_destroy);
#undef LUMIVO_WAYLAND_RELEASE

template <>
struct WaylandRelease<wl_output> {
    void operator()(wl_output* output) const noexcept {
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(output);
        } else {
            wl_output_destroy(output);
        }
    }
};

// The window list: asked to stop, then forgotten (the compositor's
// `finished` needs no answer).
template <>
struct WaylandRelease<zwlr_foreign_toplevel_manager_v1> {
    void operator()(zwlr_foreign_toplevel_manager_v1* manager) const noexcept {
        zwlr_foreign_toplevel_manager_v1_stop(manager);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
    }
};

// Owns one client object; it must be released before its display.
template <typename T>
using WaylandProxy = std::unique_ptr<T, WaylandRelease<T>>;

// Owns a client connection; disconnecting frees what libwayland still holds.
using WaylandDisplay = WaylandProxy<wl_display>;

}  // namespace lumivo
