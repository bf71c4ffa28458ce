#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <string>

class QDBusMessage;

namespace lumivo {

// Whether the screen is locked, the screensaver runs, the system is about to
// sleep and the machine is on battery, followed through the desktop's D-Bus
// services: the screensaver on the session bus, logind's LockedHint and
// PrepareForSleep and UPower's OnBattery on the system bus. A missing service
// reads as unlocked, awake and on mains power, with one log line; a service that
// appears later is picked up. Never blocks on the bus. GUI thread only.
class SessionState : public QObject {
    Q_OBJECT

  public:
    using LogLine = std::function<void(const std::string&)>;

    // Starts asking the services; their first answers arrive through changed().
    SessionState(QDBusConnection sessionBus, QDBusConnection systemBus, LogLine log,
                 QObject* parent = nullptr);
    ~SessionState() override;

    bool locked() const { return locked_.value; }
    bool screensaverActive() const { return screensaver_.value; }
    // Between logind's PrepareForSleep(true) and PrepareForSleep(false).
    bool suspending() const { return suspending_.value; }
    bool onBattery() const { return battery_.value; }

  signals:
    // One of the values changed.
    void changed();
    // The system woke from sleep (after the changed() that ends
    // suspending()): a picture on screen may have been lost meanwhile.
    void wokeUp();

  private slots:
    void onActiveChanged(bool active);
    void onPrepareForSleep(bool start);
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

  private:
    // One followed value. Each signal bumps the generation, so that an answer
    // to an older question cannot overwrite it.
    struct Source {
        bool value = false;
        bool reportedMissing = false;
        unsigned generation = 0;
        const char* missingLine;  // nullptr: another source says it
    };

    void askFlag(QDBusConnection& bus, const QDBusMessage& message, Source& source);
    void askSession(const QString& method, const QVariantList& arguments,
                    std::function<void()> otherwise);
    void askScreensaver();
    void findSession();
    void askSessionByEnvironment();
    void followSession(const QString& path);
    void askLocked();
    void askBattery();
    void set(Source& source, bool value);
    void missing(Source& source);
    void found(Source& source) { source.reportedMissing = false; }
    template <class OnReply>
    void ask(QDBusConnection& bus, const QDBusMessage& message, OnReply onReply);
    void watch(QDBusConnection& bus, const QString& service, std::function<void()> appeared,
               Source& source);

    QDBusConnection session_;
    QDBusConnection system_;
    LogLine log_;
    Source screensaver_{
        .missingLine = "[LumivoHelper] No screensaver state; counting the screen as not locked"};
    Source locked_{.missingLine =
                       "[LumivoHelper] No logind session; counting the screen as not locked"};
    Source battery_{.missingLine = "[LumivoHelper] No UPower; counting as on mains power"};
    Source suspending_{.missingLine = nullptr};
    QString sessionPath_;
};

}  // namespace lumivo
