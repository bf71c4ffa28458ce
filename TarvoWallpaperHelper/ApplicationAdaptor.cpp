#include "ApplicationAdaptor.hpp"

#include "AppDelegate.hpp"

namespace lumivo {

ApplicationAdaptor::ApplicationAdaptor(AppDelegate& delegate)
    : QDBusAbstractAdaptor(&delegate), delegate_(delegate) {}

void ApplicationAdaptor::Activate(const QVariantMap&) {
    delegate_.activate();
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap&) {
    for (const auto& uri : uris) {
        delegate_.handleURLEvent(uri.toStdString());
    }
}

void ApplicationAdaptor::ActivateAction(const QString& actionName, const QVariantList&,
                                        const QVariantMap&) {
    delegate_.activateAction(actionName.toStdString());
}

}  // namespace lumivo
