#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Rect.hpp"

namespace lumivo {

// One top-level client window as the window manager stacks it.
struct StackedWindow {
    std::uint32_t id = 0;
    Rect frame;            // absolute, the window manager's frame included
    bool desktop = false;  // typed _NET_WM_WINDOW_TYPE_DESKTOP
    // Drawn with transparency that a running compositing manager honours (an
    // ARGB visual, or a _NET_WM_WINDOW_OPACITY below full): what is stacked
    // under it shows through.
    bool seeThrough = false;
    std::string program;  // its WM_CLASS class, lower case ("caja", "nemo-desktop")
};

// The window manager's stacking order, bottom first, and the focused window.
struct StackingScene {
    std::vector<StackedWindow> stack;
    std::optional<std::uint32_t> active;  // _NET_ACTIVE_WINDOW; absent: none
};

enum class StackSide { Above, Below };

// A desktop window of another program under which, or over which, one of the
// wallpaper's windows belongs.
struct DesktopCover {
    std::uint32_t own = 0;    // the wallpaper's window
    std::uint32_t cover = 0;  // the other program's desktop window over its monitor
    // Below a see-through desktop window, so that its icons stay visible over
    // the video; above an opaque one, which would hide the video entirely.
    StackSide side = StackSide::Above;
    std::string program;
    bool operator==(const DesktopCover&) const = default;
};

// For each of `own` that the scene stacks, the desktop window of another
// program that overlaps it most (the higher of equals), if any. KDE Plasma's
// desktop (plasmashell) is left to the Plasma backend: it never counts.
std::vector<DesktopCover> findDesktopCovers(const StackingScene& scene,
                                            const std::vector<std::uint32_t>& own);

// Whether the scene stacks `cover.own` on the side of `cover.cover` it belongs.
bool coverSatisfied(const StackingScene& scene, const DesktopCover& cover);

}  // namespace lumivo
