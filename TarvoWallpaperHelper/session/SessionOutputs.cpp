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

SessionOffer offeredNow(const DesktopShell& shell) {
    SessionOffer offer;
    offer.waylandDisplaySet = isSet("WAYLAND_DISPLAY");
    offer.x11DisplaySet = isSet("DISPLAY");
    if (offer.waylandDisplaySet) {
        if (const auto info = WaylandSessionProbe::probe()) {
            offer.waylandConnected = true;
            offer.layerShell = info->layerShell;
        }
    }
    offer.gnomeShell = shell.running && shell.running();
    offer.shellExtension = offer.gnomeShell && shell.extensionEnabled && shell.extensionEnabled();
    return offer;
}

}  // namespace

SessionOutputs::SessionOutputs(MainOutput mainOutput, LogLine log, DesktopShell shell)
    : mainOutput_(std::move(mainOutput)), log_(std::move(log)), shell_(std::move(shell)) {}

std::unique_ptr<Outputs> SessionOutputs::open() {
    if (!choice_) {
        // Throws when there is no screen at all; the next open asks again.
        std::optional<BackendChoice> choice;
        try {
            choice = BackendChoice::from(offeredNow(shell_));
        } catch (const HelperError& error) {
            // Said once per state of the session, not at every apply.
            if (error.payload() == std::optional<std::string>(gnomeIntegrationRemedy) && log_ &&
                !refused_) {
                refused_ = true;
                log_(gnomeIntegrationOffLine);
            }
            throw;
        }
        choice_ = choice;
        refused_ = false;
        for (const auto& line : {choice_->logLine, choice_->integrationLine}) {
            if (line && log_) {
                log_(*line);
            }
        }
    }
    std::unique_ptr<Outputs> outputs;
    const std::string main = mainOutput_ ? mainOutput_() : std::string();
    switch (choice_->backend) {
        case BackendChoice::Backend::layerShell:
            return std::make_unique<LayerShellOutputs>(std::nullopt, main);
        case BackendChoice::Backend::shellToplevels:
            outputs = std::make_unique<LayerShellOutputs>(std::nullopt, main,
                                                          WallpaperSurfaces::shellToplevels);
            break;
        case BackendChoice::Backend::x11:
            outputs = std::make_unique<X11Outputs>();
            break;
    }
    if (choice_->throughShell && shell_.wrap) {
        return shell_.wrap(std::move(outputs));
    }
    return outputs;
}

}  // namespace lumivo
