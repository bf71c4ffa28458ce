#include "ApplicationAdaptor.hpp"

#include "HelperCommands.hpp"

namespace lumivo {

ApplicationAdaptor::ApplicationAdaptor(QObject& owner, HelperCommands& commands)
    : QDBusAbstractAdaptor(&owner), commands_(commands) {}

void ApplicationAdaptor::Activate(const QVariantMap&) {
    commands_.activate();
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap&) {
    for (const auto& uri : uris) {
        commands_.handleURLEvent(uri.toStdString());
    }
}

void ApplicationAdaptor::ActivateAction(const QString& actionName, const QVariantList&,
                                        const QVariantMap&) {
    commands_.activateAction(actionName.toStdString());
}

}  // namespace lumivo
