#include "GnomeShellIntegration.hpp"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumivo {
namespace {

const QString shellService = QStringLiteral("org.gnome.Shell");
const QString shellPath = QStringLiteral("/org/gnome/Shell");
const QString extensionsInterface = QStringLiteral("org.gnome.Shell.Extensions");
const QString wallpaperPath = QStringLiteral("/app/lumivo/ShellWallpaper");
const QString wallpaperInterface = QStringLiteral("app.lumivo.ShellWallpaper");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int firstAnswerMs = 1000;

std::optional<double> stateIn(const QVariantMap& info) {
    const auto it = info.find(QStringLiteral("state"));
    if (it == info.end()) {
        return std::nullopt;
    }
    bool ok = false;
    const double state = it->toDouble(&ok);
    return ok ? std::optional<double>(state) : std::nullopt;
}

// a(iiiib): x, y, width, height, covered.
std::vector<ShellMonitor> monitorsIn(const QVariant& value) {
    std::vector<ShellMonitor> monitors;
    if (!value.canConvert<QDBusArgument>()) {
        return monitors;
    }
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(iiiib)")) {
        return monitors;
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        ShellMonitor monitor;
        argument.beginStructure();
        argument >> monitor.geometry.x >> monitor.geometry.y >> monitor.geometry.width >>
            monitor.geometry.height >> monitor.covered;
        argument.endStructure();
        monitors.push_back(monitor);
    }
    argument.endArray();
    return monitors;
}

}  // namespace

GnomeShellIntegration::GnomeShellIntegration(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      watcher_(
          shellService, bus_,
          QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration) {
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this,
            &GnomeShellIntegration::shellAppeared);
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &GnomeShellIntegration::shellVanished);
    bus_.connect(shellService, shellPath, extensionsInterface,
                 QStringLiteral("ExtensionStateChanged"), this,
                 SLOT(onExtensionStateChanged(QString, QVariantMap)));
    bus_.connect(shellService, wallpaperPath, propertiesInterface,
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    // The first backend choice may come at once (a wallpaper restored at
    // start), so the first answer is waited for, briefly.
    if (!bus_.isConnected() || !bus_.interface()->isServiceRegistered(shellService)) {
        return;
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(shellService, shellPath, extensionsInterface,
                                                      QStringLiteral("GetExtensionInfo"));
    ask << QString::fromLatin1(wallpaperExtensionUuid);
    const QDBusMessage reply = bus_.call(ask, QDBus::Block, firstAnswerMs);
    running_ = true;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        status_ = extensionStatus(stateIn(qdbus_cast<QVariantMap>(reply.arguments().constFirst())));
    }
    if (status_ == ExtensionStatus::enabled) {
        askMonitors();
    }
}

bool GnomeShellIntegration::installed() {
    const QString relative =
        QStringLiteral("gnome-shell/extensions/%1/metadata.json").arg(wallpaperExtensionUuid);
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative).isEmpty();
}

void GnomeShellIntegration::shellAppeared() {
    ++generation_;
    setStatus(true, status_);
    askStatus();
}

void GnomeShellIntegration::shellVanished() {
    ++generation_;
    setMonitors({});
    setStatus(false, ExtensionStatus::absent);
}

void GnomeShellIntegration::askStatus() {
    QDBusMessage ask = QDBusMessage::createMethodCall(shellService, shellPath, extensionsInterface,
                                                      QStringLiteral("GetExtensionInfo"));
    ask << QString::fromLatin1(wallpaperExtensionUuid);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, generation = generation_] {
                pending->deleteLater();
                QDBusPendingReply<QVariantMap> reply = *pending;
                if (generation == generation_ && !reply.isError()) {
                    setStatus(true, extensionStatus(stateIn(reply.value())));
                }
            });
}

std::optional<Rect> GnomeShellIntegration::activeMonitor() const {
    if (!running_ || status_ != ExtensionStatus::enabled) {
        return std::nullopt;
    }
    // Asked when an apply lands, rarely: a short wait beats following every
    // move of the pointer.
    constexpr int answerMs = 250;
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(shellService, wallpaperPath, wallpaperInterface,
                                                 QStringLiteral("ActiveMonitor")),
                  QDBus::Block, answerMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
        !reply.arguments().at(0).canConvert<QDBusArgument>()) {
        return std::nullopt;
    }
    const QDBusArgument argument = reply.arguments().at(0).value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(iiii)")) {
        return std::nullopt;
    }
    Rect geometry;
    argument.beginStructure();
    argument >> geometry.x >> geometry.y >> geometry.width >> geometry.height;
    argument.endStructure();
    return geometry.empty() ? std::nullopt : std::optional(geometry);
}

void GnomeShellIntegration::askMonitors() {
    QDBusMessage ask = QDBusMessage::createMethodCall(shellService, wallpaperPath,
                                                      propertiesInterface, QStringLiteral("Get"));
    ask << wallpaperInterface << QStringLiteral("Monitors");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, generation = generation_] {
                pending->deleteLater();
                QDBusPendingReply<QDBusVariant> reply = *pending;
                if (generation == generation_ && !reply.isError()) {
                    setMonitors(monitorsIn(reply.value().variant()));
                }
            });
}

void GnomeShellIntegration::onExtensionStateChanged(const QString& uuid, const QVariantMap& state) {
    if (uuid == QLatin1String(wallpaperExtensionUuid)) {
        setStatus(true, extensionStatus(stateIn(state)));
    }
}

void GnomeShellIntegration::onPropertiesChanged(const QString& interface,
                                                const QVariantMap& changed, const QStringList&) {
    const auto it = changed.find(QStringLiteral("Monitors"));
    if (interface == wallpaperInterface && it != changed.end()) {
        setMonitors(monitorsIn(*it));
    }
}

void GnomeShellIntegration::setStatus(bool running, ExtensionStatus status) {
    if (status == ExtensionStatus::enabled && status_ != ExtensionStatus::enabled) {
        askMonitors();
    } else if (status != ExtensionStatus::enabled) {
        setMonitors({});
    }
    if (running != running_ || status != status_) {
        running_ = running;
        status_ = status;
        emit statusChanged();
    }
}

void GnomeShellIntegration::setMonitors(std::vector<ShellMonitor> monitors) {
    if (monitors != monitors_) {
        monitors_ = std::move(monitors);
        emit monitorsChanged();
    }
}

void GnomeShellIntegration::enable(std::function<void(std::optional<std::string>)> done) {
    QDBusMessage ask = QDBusMessage::createMethodCall(shellService, shellPath, extensionsInterface,
                                                      QStringLiteral("EnableExtension"));
    ask << QString::fromLatin1(wallpaperExtensionUuid);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, done = std::move(done)] {
                pending->deleteLater();
                QDBusPendingReply<bool> reply = *pending;
                if (reply.isError()) {
                    done("GNOME Shell did not answer: " + reply.error().message().toStdString());
                } else if (reply.value()) {
                    done(std::nullopt);
                } else {
                    done(enableProblem(status_, installed()));
                }
            });
}

}  // namespace lumivo
