#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Rect.hpp"

namespace lumivo {

// What the covering rules need to know about one top-level client window, as
// the window manager describes it through EWMH.
struct ClientWindow {
    Rect frame{};                       // absolute, the window manager's frame included
    std::optional<uint32_t> desktop{};  // absent: shown on every desktop
    bool mapped = false;
    bool minimised = false;  // _NET_WM_STATE_HIDDEN
    bool shaded = false;     // rolled up to its title bar
    bool fullscreen = false;
    bool maximisedVert = false;
    bool maximisedHorz = false;
    bool ignored = false;  // a desktop or dock window, which never covers the wallpaper
};

// One flag per monitor, in order: true when a mapped, non-minimised, unshaded
// window on the current desktop is fullscreen or maximised in both directions
// on that monitor (the one it overlaps most), or its frame covers the whole
// monitor. An absent current desktop counts every window as on it.
std::vector<bool> hiddenMonitors(const std::vector<Rect>& monitors,
                                 const std::vector<ClientWindow>& windows,
                                 std::optional<uint32_t> currentDesktop);

}  // namespace lumivo
