#pragma once

#include <optional>
#include <string>

namespace lumivo {

// What the session offers a wallpaper, found once at start.
struct SessionOffer {
    bool waylandDisplaySet = false;  // WAYLAND_DISPLAY is set
    bool waylandConnected = false;   // ... and its compositor answered
    bool layerShell = false;         // ... and offers zwlr_layer_shell_v1
    bool kwin = false;               // ... and is KWin
    bool x11DisplaySet = false;      // DISPLAY is set
    bool gnomeShell = false;         // GNOME Shell runs on the session bus
    bool shellExtension = false;     // ... with the wallpaper extension enabled
    bool plasma = false;             // plasmashell runs (org.kde.plasmashell on the session bus)
    bool plasmaPackage = false;      // ... and knows the wallpaper package app.lumivo.wallpaper
};

// The outputs backend a player uses, with the lines to log about it (if
// any). Pure: decides from the offer alone.
struct BackendChoice {
    enum class Backend { layerShell, shellToplevels, x11, plasma };
    Backend backend;
    std::optional<std::string> logLine = std::nullopt;
    // GNOME Shell's extension shows the surfaces in its background (the
    // toplevels; in an X11 session the X11 windows) and says what covers them.
    bool throughShell = false;
    // GNOME Shell without its extension: how to turn the integration on.
    std::optional<std::string> integrationLine = std::nullopt;
    // Layer-shell on the bottom layer instead of the background: KWin stacks
    // background surfaces with plasmashell's desktop window, which a click
    // on the desktop raises over them.
    bool bottomLayer = false;

    // Plasma's own desktops where plasmashell runs with the package; else
    // layer-shell wherever the compositor offers it (the bottom layer on
    // KWin); else GNOME Shell's extension where it is enabled: toplevels on
    // Wayland, X11 windows in an X11 session; otherwise X11 when there is a
    // DISPLAY (XWayland under a Wayland session). Throws
    // HelperError::noMainScreen() when none is available, saying how to turn
    // the GNOME integration on where that is what is missing.
    static BackendChoice from(const SessionOffer& offer);
};

// The line logged, and the remedy shown, while GNOME Shell runs without the
// wallpaper extension.
extern const char* const gnomeIntegrationOffLine;
extern const char* const gnomeIntegrationRemedy;

}  // namespace lumivo
