#include "StandardPlatform.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

#include "DesktopBrowser.hpp"
#include "GnomeDesktopShell.hpp"
#include "GnomeIntegrationSwitch.hpp"
#include "MessageBoxAlerts.hpp"
#include "PauseControl.hpp"
#include "SessionOutputs.hpp"
#include "SystemLog.hpp"
#include "TrayStatusItem.hpp"
#include "URLManifestDataLoader.hpp"
#include "URLSessionFileDownloader.hpp"
#include "UserSettings.hpp"
#include "WallpaperPlayer.hpp"

namespace lumivo {
namespace {

// GNOME's extension going on or off moves the wallpaper to the backend the
// session then offers. A Shell that restarts goes and comes back within
// seconds; the change is acted on once the state has held for a moment.
void followShell(const std::shared_ptr<GnomeShellIntegration>& shell, WallpaperPlayer& player,
                 std::shared_ptr<SessionOutputs> outputs) {
    auto usable = [shell] {
        return shell->shellRunning() && shell->status() == ExtensionStatus::enabled;
    };
    auto settle = new QTimer(&player);
    settle->setSingleShot(true);
    settle->setInterval(500);
    auto opened = std::make_shared<bool>(usable());
    QObject::connect(shell.get(), &GnomeShellIntegration::statusChanged, settle,
                     qOverload<>(&QTimer::start));
    QObject::connect(settle, &QTimer::timeout, &player, [&player, outputs, usable, opened] {
        if (usable() != *opened) {
            *opened = usable();
            outputs->forget();
            player.reopen();
        }
    });
}

}  // namespace

AppDelegate::Sources StandardPlatform::sources() {
    FileManager& files = FileManager::standard();
    auto downloader = std::make_unique<URLSessionFileDownloader>(files);
    // The resolver takes ownership of the downloader and lives as long as the
    // delegate, which outlives every use of this hook.
    URLSessionFileDownloader* control = downloader.get();
    AppDelegate::Sources sources;
    sources.remoteLoader = std::make_unique<URLManifestDataLoader>();
    sources.localLoader = std::make_unique<URLManifestDataLoader>();
    sources.downloader = std::move(downloader);
    sources.fileManager = &files;
    sources.setProgressHandler = [control](AppDelegate::ProgressHandler handler) {
        control->setProgressHandler(std::move(handler));
    };
    return sources;
}

AppDelegate::Platform StandardPlatform::platform(bool atLogin) {
    auto log = std::make_unique<SystemLog>();
    // Both end up in the delegate, which destroys the player before the log.
    Logging* playbackLog = log.get();
    auto settings = std::make_unique<UserSettings>(
        [playbackLog](const std::string& message) { playbackLog->log(message); });
    SettingsStoring* stored = settings.get();
    auto shell = std::make_shared<GnomeShellIntegration>(QDBusConnection::sessionBus());
    auto outputs = std::make_shared<SessionOutputs>(
        [stored] { return stored->text("mainOutput").value_or(std::string()); },
        [playbackLog](const std::string& line) { playbackLog->log(line); }, *stored,
        gnomeDesktopShell(shell));
    auto player = std::make_unique<WallpaperPlayer>([outputs] { return outputs->open(); });
    followShell(shell, *player, outputs);
    QObject::connect(player.get(), &WallpaperPlayer::playbackFailed, player.get(),
                     [playbackLog](const QString& reason) {
                         playbackLog->log("Playback failed: " + reason.toStdString());
                     });
    QObject::connect(
        player.get(), &WallpaperPlayer::noted, player.get(),
        [playbackLog](const QString& message) { playbackLog->log(message.toStdString()); });
    // The delegate destroys it before the player, the settings and the log.
    auto pause = std::make_unique<PauseControl>(
        *player, *settings, [playbackLog](const std::string& line) { playbackLog->write(line); });
    AppDelegate::Platform platform;
    platform.player = std::move(player);
    platform.pause = std::move(pause);
    platform.shellIntegration = std::make_unique<GnomeIntegrationSwitch>(shell);
    platform.alerts = std::make_unique<MessageBoxAlerts>();
    platform.browser = std::make_unique<DesktopBrowser>();
    platform.settings = std::move(settings);
    platform.log = std::move(log);
    const std::chrono::milliseconds trayGrace(atLogin ? 10000 : 0);
    platform.makeStatusItem = [trayGrace](AppDelegate::MenuHandler handler, Logging& logging) {
        return std::make_unique<TrayStatusItem>(std::move(handler), logging, trayGrace);
    };
    if (const auto entry = AutostartEntry::defaultFile()) {
        const std::string self = QCoreApplication::applicationFilePath().toStdString();
        platform.autostart.emplace(*entry, AutostartEntry::launcherFor(self));
    }
    // exit() rather than quit(): it also ends the nested loop of an open alert.
    platform.terminate = [] { QCoreApplication::exit(0); };
    return platform;
}

}  // namespace lumivo
