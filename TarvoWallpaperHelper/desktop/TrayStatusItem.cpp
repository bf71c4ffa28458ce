#include "TrayStatusItem.hpp"

#include <xcb/xcb.h>

#include <QActionGroup>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QTimer>

#include "GuiThread.hpp"
#include "HelperConstants.hpp"

namespace lumivo {

namespace {

const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

QString appName() {
    return QString::fromUtf8(HelperConstants::appName.data(),
                             static_cast<qsizetype>(HelperConstants::appName.size()));
}

QIcon trayIcon() {
    return QIcon::fromTheme("video-display", QIcon(":/icons/app.lumivo.Helper.svg"));
}

bool statusNotifierHostRegistered() {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcherName)) {
        return false;
    }
    auto call = QDBusMessage::createMethodCall(watcherName, "/StatusNotifierWatcher",
                                               "org.freedesktop.DBus.Properties", "Get");
    call << watcherName << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().front().value<QDBusVariant>().variant().toBool();
}

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen>.
bool xembedTrayPresent() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return false;
    }
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(0);
    auto* atomReply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr);
    if (atomReply == nullptr) {
        return false;
    }
    const xcb_atom_t atom = atomReply->atom;
    std::free(atomReply);
    if (atom == XCB_ATOM_NONE) {
        return false;
    }
    auto* ownerReply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom), nullptr);
    const bool owned = ownerReply != nullptr && ownerReply->owner != XCB_NONE;
    std::free(ownerReply);
    return owned;
}

}  // namespace

TrayStatusItem::TrayStatusItem(std::function<void(MenuChoice)> onAction, Logging& log,
                               std::chrono::milliseconds trayGrace)
    : onAction_(std::move(onAction)), toolTip_(appName()), menu_(std::make_unique<QMenu>()) {
    requireGuiThread("TrayStatusItem");
    menu_->setTitle(appName());
    menu_->setAccessibleName(appName());
    // Qt decides once per process whether the StatusNotifier tray is usable, at
    // the first QSystemTrayIcon question. So nothing here asks Qt before a tray
    // is known to exist, or a tray that starts later would never be used.
    if (statusNotifierHostRegistered() || xembedTrayPresent()) {
        createIcon();
        return;
    }
    const auto sayNoTray = [this, &log] {
        if (!icon_) {
            log.log(
                "No system tray available; commands still work through lumivo:// URLs, and the "
                "icon appears when a tray starts");
        }
    };
    if (trayGrace.count() > 0) {
        QTimer::singleShot(trayGrace, this, sayNoTray);
    } else {
        sayNoTray();
    }
    watcher_ = std::make_unique<QDBusServiceWatcher>(watcherName, QDBusConnection::sessionBus(),
                                                     QDBusServiceWatcher::WatchForRegistration);
    connect(watcher_.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (!icon_) {
            createIcon();
        }
    });
}

TrayStatusItem::~TrayStatusItem() = default;

void TrayStatusItem::createIcon() {
    icon_ = std::make_unique<QSystemTrayIcon>(trayIcon());
    icon_->setToolTip(toolTip_);
    icon_->setContextMenu(menu_.get());
    icon_->show();
}

void TrayStatusItem::setMenu(const StatusMenu& menu) {
    requireGuiThread("TrayStatusItem::setMenu");
    // QMenu::clear() deletes the actions the menu owns, but a submenu's action
    // belongs to the submenu, so the submenu (a widget with its own actions)
    // would stay behind as a hidden child at every rebuild: three per apply.
    // Each is cleared before it goes, so that the items the tray's D-Bus menu
    // keeps for its actions go with them.
    const QList<QMenu*> submenus = menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    menu_->clear();
    for (QMenu* submenu : submenus) {
        submenu->clear();
        delete submenu;
    }
    fill(*menu_, menu);
}

void TrayStatusItem::fill(QMenu& target, const StatusMenu& entries) {
    for (const auto& entry : entries) {
        if (entry.isSeparator) {
            target.addSeparator();
            continue;
        }
        // "&" would mark a mnemonic; titles are shown verbatim.
        const QString title =
            QString::fromStdString(entry.title).replace('&', QStringLiteral("&&"));
        if (!entry.submenu.empty()) {
            // A child of `target`; setMenu deletes it before the next fill.
            QMenu* submenu = target.addMenu(title);
            submenu->setEnabled(entry.enabled);
            auto* group = new QActionGroup(submenu);
            fill(*submenu, entry.submenu);
            for (QAction* choice : submenu->actions()) {
                group->addAction(choice);
            }
            continue;
        }
        QAction* action = target.addAction(title);
        action->setEnabled(entry.enabled);
        if (entry.checked) {
            action->setCheckable(true);
            action->setChecked(*entry.checked);
        }
        if (entry.key != '\0') {
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QChar(entry.key).toUpper()));
            action->setShortcutVisibleInContextMenu(true);
        }
        if (entry.action != MenuAction::none) {
            const MenuChoice chosen(entry.action, entry.index, entry.screen);
            // Queued: the choice runs after the menu has finished its own work,
            // since carrying it out may rebuild this very menu.
            connect(action, &QAction::triggered, this, [this, chosen] {
                QMetaObject::invokeMethod(
                    this, [this, chosen] { onAction_(chosen); }, Qt::QueuedConnection);
            });
        }
    }
}

void TrayStatusItem::setToolTip(const std::string& text) {
    requireGuiThread("TrayStatusItem::setToolTip");
    toolTip_ = QString::fromStdString(text);
    if (icon_) {
        icon_->setToolTip(toolTip_);
    }
}

}  // namespace lumivo
