#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ShellExtensionStatus.hpp"
#include "ShellMonitors.hpp"

class QDBusMessage;

namespace lumivo {

// GNOME Shell and its wallpaper extension as the session bus shows them:
// whether the Shell runs, the extension's status (followed through
// org.gnome.Shell.Extensions, so an extension enabled later, a Shell that
// restarts or goes are seen as they happen), and the monitors the extension
// reports as covered. Asks once, briefly, when made; never blocks after
// that. GUI thread only.
class GnomeShellIntegration : public QObject {
    Q_OBJECT
  public:
    explicit GnomeShellIntegration(QDBusConnection bus, QObject* parent = nullptr);

    bool shellRunning() const { return running_; }
    ExtensionStatus status() const { return status_; }
    // As last reported; empty while the extension is not running.
    const std::vector<ShellMonitor>& monitors() const { return monitors_; }
    // The logical rectangle of the monitor the Shell works on now (the
    // pointer's, or the focused window's), asked of the extension in one call
    // that waits at most a quarter of a second; absent while the extension
    // does not answer.
    std::optional<Rect> activeMonitor() const;
    // Whether the extension's files are in a folder the Shell loads
    // extensions from (XDG_DATA_HOME, XDG_DATA_DIRS).
    static bool installed();

    // Asks the Shell to enable the extension; `done` gets nullopt once it is
    // on, else what the user should know.
    void enable(std::function<void(std::optional<std::string>)> done);

  signals:
    // shellRunning() or status() changed.
    void statusChanged();
    // monitors() changed.
    void monitorsChanged();

  private slots:
    void onExtensionStateChanged(const QString& uuid, const QVariantMap& state);
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

  private:
    void shellAppeared();
    void shellVanished();
    void askStatus();
    void askMonitors();
    void setStatus(bool running, ExtensionStatus status);
    void setMonitors(std::vector<ShellMonitor> monitors);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    bool running_ = false;
    ExtensionStatus status_ = ExtensionStatus::absent;
    std::vector<ShellMonitor> monitors_;
    unsigned generation_ = 0;  // answers from a Shell that went are dropped
};

}  // namespace lumivo
