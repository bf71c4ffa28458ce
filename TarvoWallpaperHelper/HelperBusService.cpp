#include "HelperBusService.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "AppDelegate.hpp"
#include "ApplicationAdaptor.hpp"

namespace lumivo {

HelperBusService::Claim HelperBusService::claim(AppDelegate& delegate, std::string& error) {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = bus.lastError().message().toStdString();
        return Claim::failed;
    }
    new ApplicationAdaptor(delegate);  // owned by the delegate as its Qt child
    if (!bus.registerObject("/app/lumivo/Helper", &delegate, QDBusConnection::ExportAdaptors)) {
        error = "cannot export /app/lumivo/Helper";
        return Claim::failed;
    }
    const auto reply = bus.interface()->registerService(
        "app.lumivo.Helper", QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        error = reply.error().message().toStdString();
        return Claim::failed;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject("/app/lumivo/Helper");
        return Claim::ownedByAnother;
    }
    return Claim::owned;
}

}  // namespace lumivo
