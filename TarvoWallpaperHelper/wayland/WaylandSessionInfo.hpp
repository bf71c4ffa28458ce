#pragma once

#include <vector>

#include "WaylandOutputInfo.hpp"

namespace lumivo {

// What a compositor offers a wallpaper client: the globals the helper can use
// and the outputs with their names and logical geometry.
struct WaylandSessionInfo {
    bool layerShell = false;       // zwlr_layer_shell_v1
    bool foreignToplevel = false;  // zwlr_foreign_toplevel_manager_v1
    bool viewporter = false;       // wp_viewporter
    bool shm = false;              // wl_shm
    bool xdgOutput = false;        // zxdg_output_manager_v1
    bool kwin = false;             // KWin's own globals (org_kde_kwin_*)
    std::vector<WaylandOutputInfo> outputs;
};

}  // namespace lumivo
