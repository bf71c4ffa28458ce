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

BackendChoice BackendChoice::from(const SessionOffer& offer) {
    if (offer.waylandConnected && offer.layerShell) {
        return {Backend::layerShell, std::nullopt, false, std::nullopt};
    }
    if (offer.gnomeShell && offer.shellExtension) {
        if (offer.waylandConnected) {
            return {Backend::shellToplevels, std::nullopt, true, std::nullopt};
        }
        if (offer.x11DisplaySet && !offer.waylandDisplaySet) {
            return {Backend::x11, std::nullopt, true, std::nullopt};
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
    if (offer.waylandConnected) {
        return {Backend::x11,
                "The compositor offers no background layer, so an X11 desktop window is used "
                "and its placement is up to the compositor.",
                false, integration};
    }
    if (offer.waylandDisplaySet) {
        return {Backend::x11,
                "The Wayland compositor named by WAYLAND_DISPLAY cannot be reached, so an X11 "
                "desktop window is used.",
                false, integration};
    }
    return {Backend::x11, std::nullopt, false, integration};
}

}  // namespace lumivo
