#include "SessionOutputs.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdlib>

#include "BusNames.hpp"
#include "FrameSocket.hpp"
#include "HelperError.hpp"
#include "LayerShellOutputs.hpp"
#include "PlasmaOutputs.hpp"
#include "WaylandSessionProbe.hpp"
#include "X11Outputs.hpp"

namespace lumivo {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

SessionOffer offeredNow(const DesktopShell& shell, SettingsStoring& settings,
                        const SessionOutputs::LogLine& log) {
    SessionOffer offer;
    offer.waylandDisplaySet = isSet("WAYLAND_DISPLAY");
    offer.x11DisplaySet = isSet("DISPLAY");
    if (offer.waylandDisplaySet) {
        if (const auto info = WaylandSessionProbe::probe()) {
            offer.waylandConnected = true;
            offer.layerShell = info->layerShell;
            offer.kwin = info->kwin;
        }
    }
    offer.gnomeShell = shell.running && shell.running();
    offer.shellExtension = offer.gnomeShell && shell.extensionEnabled && shell.extensionEnabled();
    if (const auto plasmaShell = PlasmaDesktops::sessionShell()) {
        offer.plasma = true;
        try {
            offer.plasmaPackage = PlasmaDesktops(*plasmaShell, settings, log).list().packageKnown;
        } catch (const std::exception& error) {
            if (log) {
                log(error.what());
            }
        }
    }
    return offer;
}

}  // namespace

SessionOutputs::SessionOutputs(MainOutput mainOutput, LogLine log, SettingsStoring& settings,
                               DesktopShell shell)
    : mainOutput_(std::move(mainOutput)),
      log_(std::move(log)),
      settings_(settings),
      shell_(std::move(shell)) {
    if (!settings_.text("plasmaDesktops/ids")) {
        return;  // nothing left behind: no need to ask the session bus
    }
    // A helper that lost the race for the bus name to another one must not
    // take that one's wallpaper away.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() != nullptr &&
        bus.interface()->isServiceRegistered(BusNames::serviceName).value()) {
        return;
    }
    if (const auto plasmaShell = PlasmaDesktops::sessionShell()) {
        PlasmaDesktops(*plasmaShell, settings_, log_).giveBackAll();
    }
}

std::unique_ptr<Outputs> SessionOutputs::open() {
    if (choice_) {
        try {
            return openChosen();
        } catch (const HelperError&) {
            // Its display went away (a compositor that quit, say), while the
            // session may still offer another one: ask again.
            forget();
        }
    }
    choose();
    return openChosen();
}

void SessionOutputs::choose() {
    // Throws when there is no screen at all; the next open asks again.
    std::optional<BackendChoice> choice;
    try {
        choice = BackendChoice::from(offeredNow(shell_, settings_, log_));
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

std::unique_ptr<Outputs> SessionOutputs::openChosen() const {
    std::unique_ptr<Outputs> outputs;
    const std::string main = mainOutput_ ? mainOutput_() : std::string();
    switch (choice_->backend) {
        case BackendChoice::Backend::plasma: {
            const auto plasmaShell = PlasmaDesktops::sessionShell();
            const auto socket = FrameSocket::defaultPath();
            if (!plasmaShell || !socket) {
                throw HelperError::noMainScreen();
            }
            return std::make_unique<PlasmaOutputs>(
                std::make_shared<PlasmaDesktops>(*plasmaShell, settings_, log_), *socket);
        }
        case BackendChoice::Backend::layerShell:
            return std::make_unique<LayerShellOutputs>(std::nullopt, main,
                                                       choice_->bottomLayer
                                                           ? WallpaperSurfaces::bottomLayer
                                                           : WallpaperSurfaces::backgroundLayer);
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
