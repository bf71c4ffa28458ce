#include "SessionState.hpp"

#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <optional>
#include <utility>

namespace lumivo {
namespace {

const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const char* const kPropertiesChangedSlot =
    SLOT(onPropertiesChanged(QString, QVariantMap, QStringList));

// A call that never starts a service: one that is not running counts as missing.
QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return message;
}

QDBusMessage getProperty(const QString& service, const QString& path, const QString& interface,
                         const QString& property) {
    return call(service, path, kProperties, QStringLiteral("Get"), {interface, property});
}

// The Boolean a Properties.Get reply or a plain Boolean reply carries.
std::optional<bool> boolReply(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    QVariant value = reply.arguments().constFirst();
    if (value.canConvert<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    if (value.metaType().id() != QMetaType::Bool) {
        return std::nullopt;
    }
    return value.toBool();
}

}  // namespace

SessionState::SessionState(QDBusConnection sessionBus, QDBusConnection systemBus, LogLine log,
                           QObject* parent)
    : QObject(parent),
      session_(std::move(sessionBus)),
      system_(std::move(systemBus)),
      log_(std::move(log)) {
    session_.connect(kScreenSaver, kScreenSaverPath, kScreenSaver, QStringLiteral("ActiveChanged"),
                     this, SLOT(onActiveChanged(bool)));
    system_.connect(kUPower, kUPowerPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                    kPropertiesChangedSlot);
    system_.connect(kLogin1, kLogin1Path, kLogin1Manager, QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(bool)));
    watch(
        session_, kScreenSaver, [this] { askScreensaver(); }, screensaver_);
    watch(
        system_, kLogin1, [this] { findSession(); }, locked_);
    watch(
        system_, kUPower, [this] { askBattery(); }, battery_);
    // A logind that goes away mid-sleep must not leave the wallpaper resting.
    watch(
        system_, kLogin1, [] {}, suspending_);
    askScreensaver();
    findSession();
    askBattery();
}

SessionState::~SessionState() = default;

// Follows a service's comings and goings: one that appears is asked again, one
// that goes away leaves its value at the safe default.
void SessionState::watch(QDBusConnection& bus, const QString& service,
                         std::function<void()> appeared, Source& source) {
    auto* watcher =
        new QDBusServiceWatcher(service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this, appeared = std::move(appeared), &source](const QString&, const QString&,
                                                            const QString& owner) {
                ++source.generation;
                if (owner.isEmpty()) {
                    set(source, false);
                    missing(source);
                } else {
                    appeared();
                }
            });
}

template <class OnReply>
void SessionState::ask(QDBusConnection& bus, const QDBusMessage& message, OnReply onReply) {
    // Without a bus (no system bus in a container, say) no answer would come.
    if (!bus.isConnected()) {
        onReply(message.createErrorReply(QDBusError::Disconnected, bus.lastError().message()));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [onReply = std::move(onReply)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                onReply(w->reply());
            });
}

// Asks for a boolean and sets `source` from the answer, unless news came
// meanwhile; an error answer counts the service as missing.
void SessionState::askFlag(QDBusConnection& bus, const QDBusMessage& message, Source& source) {
    const unsigned generation = source.generation;
    ask(bus, message, [this, &source, generation](const QDBusMessage& reply) {
        if (generation != source.generation) {
            return;
        }
        if (const auto value = boolReply(reply)) {
            found(source);
            set(source, *value);
        } else {
            missing(source);
        }
    });
}

void SessionState::askScreensaver() {
    askFlag(session_,
            call(kScreenSaver, kScreenSaverPath, kScreenSaver, QStringLiteral("GetActive")),
            screensaver_);
}

void SessionState::onActiveChanged(bool active) {
    ++screensaver_.generation;
    found(screensaver_);
    set(screensaver_, active);
}

void SessionState::onPrepareForSleep(bool start) {
    set(suspending_, start);
    if (!start) {
        emit wokeUp();
    }
}

// This process's session, by its process id; failing that, by XDG_SESSION_ID
// (a helper started outside the session, by a user service for one).
void SessionState::findSession() {
    askSession(QStringLiteral("GetSessionByPID"),
               {QVariant::fromValue(static_cast<quint32>(::getpid()))},
               [this] { askSessionByEnvironment(); });
}

void SessionState::askSessionByEnvironment() {
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (id.isEmpty()) {
        missing(locked_);
        return;
    }
    askSession(QStringLiteral("GetSession"), {id}, [this] { missing(locked_); });
}

// Asks logind's manager for a session object and follows it, or else runs
// `otherwise`.
void SessionState::askSession(const QString& method, const QVariantList& arguments,
                              std::function<void()> otherwise) {
    const unsigned generation = locked_.generation;
    ask(system_, call(kLogin1, kLogin1Path, kLogin1Manager, method, arguments),
        [this, generation, otherwise = std::move(otherwise)](const QDBusMessage& reply) {
            if (generation != locked_.generation) {
                return;
            }
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                followSession(reply.arguments().constFirst().value<QDBusObjectPath>().path());
            } else {
                otherwise();
            }
        });
}

void SessionState::followSession(const QString& path) {
    if (path != sessionPath_) {
        if (!sessionPath_.isEmpty()) {
            system_.disconnect(kLogin1, sessionPath_, kProperties,
                               QStringLiteral("PropertiesChanged"), this, kPropertiesChangedSlot);
        }
        sessionPath_ = path;
        system_.connect(kLogin1, sessionPath_, kProperties, QStringLiteral("PropertiesChanged"),
                        this, kPropertiesChangedSlot);
    }
    askLocked();
}

void SessionState::askLocked() {
    askFlag(system_,
            getProperty(kLogin1, sessionPath_, kLogin1Session, QStringLiteral("LockedHint")),
            locked_);
}

void SessionState::askBattery() {
    askFlag(system_, getProperty(kUPower, kUPowerPath, kUPower, QStringLiteral("OnBattery")),
            battery_);
}

void SessionState::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                       const QStringList& invalidated) {
    // Other properties change too; only news of this one outdates a question.
    const auto follow = [&](Source& source, const QString& property, auto askAgain) {
        if (const auto it = changed.find(property);
            it != changed.end() && it->metaType().id() == QMetaType::Bool) {
            ++source.generation;
            found(source);
            set(source, it->toBool());
        } else if (invalidated.contains(property)) {
            ++source.generation;
            (this->*askAgain)();
        }
    };
    if (interface == kLogin1Session) {
        follow(locked_, QStringLiteral("LockedHint"), &SessionState::askLocked);
    } else if (interface == kUPower) {
        follow(battery_, QStringLiteral("OnBattery"), &SessionState::askBattery);
    }
}

void SessionState::set(Source& source, bool value) {
    if (source.value != value) {
        source.value = value;
        emit changed();
    }
}

// The safe default, logged once until the service answers again.
void SessionState::missing(Source& source) {
    set(source, false);
    if (!source.reportedMissing) {
        source.reportedMissing = true;
        if (log_ && source.missingLine != nullptr) {
            log_(source.missingLine);
        }
    }
}

}  // namespace lumivo
