#pragma once

#include <QDBusServiceWatcher>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <chrono>
#include <functional>
#include <memory>

#include "Logging.hpp"
#include "StatusItemShowing.hpp"

namespace lumivo {

// The helper's tray icon: a QSystemTrayIcon (StatusNotifierItem over D-Bus
// where a tray host runs, XEmbed otherwise) with tooltip and title "Lumivo
// Helper". With no tray at all it logs one line and shows itself as soon as a
// StatusNotifier watcher appears on the session bus (a name watch, no polling).
// At login, trays often start after the helper: `trayGrace` delays that line
// until the tray has had that long to appear.
class TrayStatusItem : public QObject, public StatusItemShowing {
  public:
    TrayStatusItem(std::function<void(MenuChoice)> onAction, Logging& log,
                   std::chrono::milliseconds trayGrace = {});
    ~TrayStatusItem() override;

    void setMenu(const StatusMenu& menu) override;
    void setToolTip(const std::string& text) override;

  private:
    void createIcon();
    void fill(QMenu& target, const StatusMenu& entries);

    std::function<void(MenuChoice)> onAction_;
    QString toolTip_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
};

}  // namespace lumivo
