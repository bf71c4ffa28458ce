#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace lumivo {

class HelperCommands;

// org.freedesktop.Application on the delegate's bus object: it only turns
// the desktop's calls into calls on the delegate and decides nothing itself.
// Owned by the exported object as its Qt child.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

  public:
    // The most URIs one Open call may carry; the rest are dropped (and
    // logged), so one call cannot queue thousands of commands.
    static constexpr qsizetype maxURIsPerOpen = 64;

    // `owner` is the exported object the adaptor belongs to (its Qt parent).
    ApplicationAdaptor(QObject& owner, HelperCommands& commands);

  public slots:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData);

  private:
    HelperCommands& commands_;
};

}  // namespace lumivo
