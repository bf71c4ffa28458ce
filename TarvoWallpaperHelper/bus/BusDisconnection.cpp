#include "BusDisconnection.hpp"

#include <QDBusConnection>

namespace lumivo {

BusDisconnection::BusDisconnection(std::function<void()> lost) : lost_(std::move(lost)) {
    QDBusConnection::sessionBus().connect(QString(), "/org/freedesktop/DBus/Local",
                                          "org.freedesktop.DBus.Local", "Disconnected", this,
                                          SLOT(disconnected()));
}

void BusDisconnection::disconnected() {
    if (auto lost = std::exchange(lost_, nullptr)) {
        lost();
    }
}

}  // namespace lumivo
