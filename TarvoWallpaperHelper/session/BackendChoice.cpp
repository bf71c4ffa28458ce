#include "BackendChoice.hpp"

#include "HelperError.hpp"

namespace lumivo {

BackendChoice BackendChoice::from(const SessionOffer& offer) {
    if (offer.waylandConnected && offer.layerShell) {
        return {Backend::layerShell, std::nullopt};
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
