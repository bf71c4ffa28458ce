#include "WaylandSessionProbe.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "WaylandOutput.hpp"
#include "WaylandRoundTrip.hpp"

namespace lumivo {
namespace {

struct Globals {
    WaylandSessionInfo info;
    std::vector<std::pair<uint32_t, uint32_t>> outputs;  // name, version
    uint32_t xdgOutputManager = 0;
    uint32_t xdgOutputManagerVersion = 0;
};

const wl_registry_listener registryListener = {
    .global =
        [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
            auto& globals = *static_cast<Globals*>(data);
            auto is = [&](const wl_interface& known) {
                return std::strcmp(interface, known.name) == 0;
            };
            if (is(wl_output_interface)) {
                globals.outputs.emplace_back(name, version);
            } else if (is(zxdg_output_manager_v1_interface)) {
                globals.xdgOutputManager = name;
                globals.xdgOutputManagerVersion = version;
                globals.info.xdgOutput = true;
            } else if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) {
                globals.info.layerShell = true;
            } else if (std::strcmp(interface, "zwlr_foreign_toplevel_manager_v1") == 0) {
                globals.info.foreignToplevel = true;
            } else if (std::strcmp(interface, "wp_viewporter") == 0) {
                globals.info.viewporter = true;
            } else if (is(wl_shm_interface)) {
                globals.info.shm = true;
            } else if (std::strncmp(interface, "org_kde_kwin_", 13) == 0) {
                globals.info.kwin = true;
            }
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

}  // namespace

std::optional<WaylandSessionInfo> WaylandSessionProbe::probe(
    const std::optional<std::string>& display, int timeoutMs) {
    // libwayland falls back to "wayland-0" without WAYLAND_DISPLAY; a session
    // that names no compositor has none.
    const char* name = display ? display->c_str() : std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    WaylandDisplay connection(wl_display_connect(name));
    if (!connection) {
        return std::nullopt;
    }
    Globals globals;
    WaylandProxy<wl_registry> registry(wl_display_get_registry(connection.get()));
    wl_registry_add_listener(registry.get(), &registryListener, &globals);
    if (!waylandRoundTrip(connection.get(), timeoutMs)) {
        return std::nullopt;
    }

    WaylandProxy<zxdg_output_manager_v1> manager;
    if (globals.xdgOutputManager != 0) {
        manager.reset(static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
            registry.get(), globals.xdgOutputManager, &zxdg_output_manager_v1_interface,
            std::min(globals.xdgOutputManagerVersion, 3u))));
    }
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    for (auto [global, version] : globals.outputs) {
        outputs.push_back(std::make_unique<WaylandOutput>(registry.get(), global, version));
        outputs.back()->describeWith(manager.get());
    }
    if (!waylandRoundTrip(connection.get(), timeoutMs)) {
        return std::nullopt;
    }
    for (const auto& output : outputs) {
        globals.info.outputs.push_back(output->info());
    }
    return globals.info;
}

}  // namespace lumivo
