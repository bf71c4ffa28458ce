#include "BackendChoice.hpp"

#include "HelperError.hpp"

namespace lumivo {

BackendChoice BackendChoice::from(const SessionOffer& offer) {
    if (offer.plasma && offer.plasmaPackage) {
        return {Backend::plasma, std::nullopt};
    }
    if (offer.waylandConnected && offer.layerShell && offer.kwin) {
        return {Backend::layerShell,
                "Without the Plasma wallpaper package app.lumivo.wallpaper, the wallpaper is "
                "drawn over the desktop, so the desktop's icons and widgets are hidden under it.",
                true};
    }
    if (offer.waylandConnected && offer.layerShell) {
        return {Backend::layerShell, std::nullopt};
    }
    if (offer.plasma && offer.x11DisplaySet && !offer.waylandConnected) {
        return {Backend::x11,
                "The Plasma wallpaper package app.lumivo.wallpaper is not installed, so "
                "Plasma's desktop hides the wallpaper."};
    }
    if (!offer.x11DisplaySet) {
        throw HelperError::noMainScreen();
    }
    if (offer.waylandConnected) {
        return {Backend::x11,
                "The compositor offers no background layer, so an X11 desktop window is used "
                "and its placement is up to the compositor."};
    }
    if (offer.waylandDisplaySet) {
        return {Backend::x11,
                "The Wayland compositor named by WAYLAND_DISPLAY cannot be reached, so an X11 "
                "desktop window is used."};
    }
    return {Backend::x11, std::nullopt};
}

}  // namespace lumivo
