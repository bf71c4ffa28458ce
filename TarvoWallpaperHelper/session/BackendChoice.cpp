#include "BackendChoice.hpp"

#include "HelperError.hpp"

namespace lumivo {

const char* const gnomeIntegrationOffLine =
    "The GNOME integration is off, so GNOME Shell cannot show the wallpaper in its background "
    "and overview; turn it on with Enable GNOME Integration in the menu, or run "
    "gnome-extensions enable lumivo-wallpaper@lumivo.app";
const char* const gnomeIntegrationRemedy =
    "GNOME shows a live wallpaper through the Lumivo Wallpaper extension, which is off: choose "
    "Enable GNOME Integration in the menu, or run gnome-extensions enable "
    "lumivo-wallpaper@lumivo.app.";

namespace {

const char* const plasmaPackageMissingOnKWin =
    "Without the Plasma wallpaper package app.lumivo.wallpaper, the wallpaper is drawn over the "
    "desktop, so the desktop's icons and widgets are hidden under it.";
const char* const plasmaPackageMissingOnX11 =
    "The Plasma wallpaper package app.lumivo.wallpaper is not installed, so Plasma's desktop "
    "hides the wallpaper.";

}  // namespace

BackendChoice BackendChoice::from(const SessionOffer& offer) {
    if (offer.plasma && offer.plasmaPackage) {
        return {.backend = Backend::plasma};
    }
    if (offer.waylandConnected && offer.layerShell) {
        if (!offer.kwin) {
            return {.backend = Backend::layerShell};
        }
        // Only plasmashell has icons and widgets to hide; a bare KWin has none.
        return {.backend = Backend::layerShell,
                .logLine = offer.plasma ? std::optional<std::string>(plasmaPackageMissingOnKWin)
                                        : std::nullopt,
                .bottomLayer = true};
    }
    if (offer.gnomeShell && offer.shellExtension) {
        if (offer.waylandConnected) {
            return {.backend = Backend::shellToplevels, .throughShell = true};
        }
        if (offer.x11DisplaySet && !offer.waylandDisplaySet) {
            return {.backend = Backend::x11, .throughShell = true};
        }
    }
    std::optional<std::string> integration;
    if (offer.gnomeShell && !offer.shellExtension) {
        integration = gnomeIntegrationOffLine;
    }
    if (!offer.x11DisplaySet) {
        throw integration ? HelperError::noMainScreen(gnomeIntegrationRemedy)
                          : HelperError::noMainScreen();
    }
    if (offer.plasma && !offer.waylandConnected) {
        return {.backend = Backend::x11, .logLine = plasmaPackageMissingOnX11};
    }
    if (offer.waylandConnected) {
        return {.backend = Backend::x11,
                .logLine = "The compositor offers no background layer, so an X11 desktop window "
                           "is used and its placement is up to the compositor.",
                .integrationLine = integration};
    }
    if (offer.waylandDisplaySet) {
        return {.backend = Backend::x11,
                .logLine = "The Wayland compositor named by WAYLAND_DISPLAY cannot be reached, so "
                           "an X11 desktop window is used.",
                .integrationLine = integration};
    }
    return {.backend = Backend::x11, .integrationLine = integration};
}

}  // namespace lumivo
