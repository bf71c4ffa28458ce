#pragma once

#include <optional>
#include <string>

namespace lumivo {

// What the session offers a wallpaper, found once at start.
struct SessionOffer {
    bool waylandDisplaySet = false;  // WAYLAND_DISPLAY is set
    bool waylandConnected = false;   // ... and its compositor answered
    bool layerShell = false;         // ... and offers zwlr_layer_shell_v1
    bool x11DisplaySet = false;      // DISPLAY is set
    bool kwin = false;               // the compositor is KWin
    bool plasma = false;             // plasmashell runs (org.kde.plasmashell on the session bus)
    bool plasmaPackage = false;      // ... and knows the wallpaper package app.lumivo.wallpaper
};

// The outputs backend a player uses, with the one line to log about it (if
// any). Pure: decides from the offer alone.
struct BackendChoice {
    enum class Backend { layerShell, x11, plasma };
    Backend backend;
    std::optional<std::string> logLine;
    // Layer-shell on the bottom layer instead of the background: KWin stacks
    // background surfaces with plasmashell's desktop window, which a click
    // on the desktop raises over them.
    bool bottomLayer = false;

    // Plasma's own desktops where plasmashell runs with the package;
    // otherwise layer-shell wherever the compositor offers it (the bottom
    // layer on KWin); otherwise X11 when there is a DISPLAY (XWayland under a
    // Wayland session). Throws HelperError::noMainScreen() when none is
    // available.
    static BackendChoice from(const SessionOffer& offer);
};

}  // namespace lumivo
