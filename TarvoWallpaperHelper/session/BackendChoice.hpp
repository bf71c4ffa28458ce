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
};

// The outputs backend a player uses, with the one line to log about it (if
// any). Pure: decides from the offer alone.
struct BackendChoice {
    enum class Backend { layerShell, x11 };
    Backend backend;
    std::optional<std::string> logLine;

    // Layer-shell wherever the compositor offers it; otherwise X11 when there
    // is a DISPLAY (XWayland under a Wayland session). Throws
    // HelperError::noMainScreen() when neither is available.
    static BackendChoice from(const SessionOffer& offer);
};

}  // namespace lumivo
