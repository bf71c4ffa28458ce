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

SessionOffer offeredNow(SettingsStoring& settings, const SessionOutputs::LogLine& log) {
    SessionOffer offer;
    if (const auto shell = PlasmaDesktops::sessionShell()) {
        offer.plasma = true;
        try {
            offer.plasmaPackage = PlasmaDesktops(*shell, settings, log).list().packageKnown;
        } catch (const std::exception& error) {
            if (log) {
                log(error.what());
            }
        }
    }
    offer.waylandDisplaySet = isSet("WAYLAND_DISPLAY");
    offer.x11DisplaySet = isSet("DISPLAY");
    if (offer.waylandDisplaySet) {
        if (const auto info = WaylandSessionProbe::probe()) {
            offer.waylandConnected = true;
            offer.layerShell = info->layerShell;
            offer.kwin = info->kwin;
        }
    }
    return offer;
}

}  // namespace

SessionOutputs::SessionOutputs(MainOutput mainOutput, LogLine log, SettingsStoring& settings)
    : mainOutput_(std::move(mainOutput)), log_(std::move(log)), settings_(settings) {
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
    if (const auto shell = PlasmaDesktops::sessionShell()) {
        PlasmaDesktops(*shell, settings_, log_).giveBackAll();
    }
}

std::unique_ptr<Outputs> SessionOutputs::open() {
    if (!backend_) {
        // Throws when there is no screen at all; the next open asks again.
        const BackendChoice choice = BackendChoice::from(offeredNow(settings_, log_));
        backend_ = choice.backend;
        bottomLayer_ = choice.bottomLayer;
        if (choice.logLine && log_) {
            log_(*choice.logLine);
        }
    }
    if (*backend_ == BackendChoice::Backend::plasma) {
        const auto shell = PlasmaDesktops::sessionShell();
        const auto socket = FrameSocket::defaultPath();
        if (!shell || !socket) {
            throw HelperError::noMainScreen();
        }
        return std::make_unique<PlasmaOutputs>(
            std::make_shared<PlasmaDesktops>(*shell, settings_, log_), *socket);
    }
    if (*backend_ == BackendChoice::Backend::layerShell) {
        return std::make_unique<LayerShellOutputs>(
            std::nullopt, mainOutput_ ? mainOutput_() : std::string(), bottomLayer_);
    }
    return std::make_unique<X11Outputs>();
}

}  // namespace lumivo
