#include "SessionOutputs.hpp"

#include <cstdlib>

#include "HelperError.hpp"
#include "LayerShellOutputs.hpp"
#include "WaylandSessionProbe.hpp"
#include "X11Outputs.hpp"

namespace lumivo {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

SessionOffer offeredNow() {
    SessionOffer offer;
    offer.waylandDisplaySet = isSet("WAYLAND_DISPLAY");
    offer.x11DisplaySet = isSet("DISPLAY");
    if (offer.waylandDisplaySet) {
        if (const auto info = WaylandSessionProbe::probe()) {
            offer.waylandConnected = true;
            offer.layerShell = info->layerShell;
        }
    }
    return offer;
}

}  // namespace

SessionOutputs::SessionOutputs(MainOutput mainOutput, LogLine log)
    : mainOutput_(std::move(mainOutput)), log_(std::move(log)) {}

std::unique_ptr<Outputs> SessionOutputs::open() {
    if (backend_) {
        try {
            return openChosen();
        } catch (const HelperError&) {
            // Its display went away (a compositor that quit, say), while the
            // session may still offer another one: ask again.
            backend_.reset();
        }
    }
    // Throws when there is no screen at all; the next open asks again.
    const BackendChoice choice = BackendChoice::from(offeredNow());
    backend_ = choice.backend;
    if (choice.logLine && log_) {
        log_(*choice.logLine);
    }
    return openChosen();
}

std::unique_ptr<Outputs> SessionOutputs::openChosen() const {
    if (*backend_ == BackendChoice::Backend::layerShell) {
        return std::make_unique<LayerShellOutputs>(std::nullopt,
                                                   mainOutput_ ? mainOutput_() : std::string());
    }
    return std::make_unique<X11Outputs>();
}

}  // namespace lumivo
