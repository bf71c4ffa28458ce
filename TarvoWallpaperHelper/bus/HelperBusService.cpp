#include "HelperBusService.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "ApplicationAdaptor.hpp"
#include "BusNames.hpp"
#include "HelperCommands.hpp"

namespace lumivo {

HelperBusService::Claim HelperBusService::claim(QObject& object, HelperCommands& commands,
                                                std::string& error) {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = bus.lastError().message().toStdString();
        return Claim::failed;
    }
    new ApplicationAdaptor(object, commands);  // owned by `object` as its Qt child
    if (!bus.registerObject(BusNames::objectPath, &object, QDBusConnection::ExportAdaptors)) {
        error = std::string("cannot export ") + BusNames::objectPath;
        return Claim::failed;
    }
    const auto reply = bus.interface()->registerService(
        BusNames::serviceName, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        error = reply.error().message().toStdString();
        return Claim::failed;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(BusNames::objectPath);
        return Claim::ownedByAnother;
    }
    return Claim::owned;
}

}  // namespace lumivo
