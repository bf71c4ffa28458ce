#include "ApplicationAdaptor.hpp"

#include <algorithm>

#include "HelperCommands.hpp"

namespace lumivo {

ApplicationAdaptor::ApplicationAdaptor(QObject& owner, HelperCommands& commands)
    : QDBusAbstractAdaptor(&owner), commands_(commands) {}

void ApplicationAdaptor::Activate(const QVariantMap&) {
    commands_.activate();
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap&) {
    const qsizetype kept = std::min(uris.size(), maxURIsPerOpen);
    for (qsizetype i = 0; i < kept; ++i) {
        commands_.handleURLEvent(uris[i].toStdString());
    }
    if (uris.size() > kept) {
        commands_.droppedURLs(static_cast<std::size_t>(uris.size() - kept),
                              static_cast<std::size_t>(kept));
    }
}

void ApplicationAdaptor::ActivateAction(const QString& actionName, const QVariantList&,
                                        const QVariantMap&) {
    commands_.activateAction(actionName.toStdString());
}

}  // namespace lumivo
