#pragma once

#include <QObject>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AlertCoalescer.hpp"
#include "Alerting.hpp"
#include "ApplyResolution.hpp"
#include "AutostartEntry.hpp"
#include "BlockingWorker.hpp"
#include "BrowserOpening.hpp"
#include "CacheUpkeep.hpp"
#include "CommandQueue.hpp"
#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "GuiThread.hpp"
#include "HelperAlerts.hpp"
#include "HelperCommands.hpp"
#include "HelperLocations.hpp"
#include "Logging.hpp"
#include "ManifestDataLoading.hpp"
#include "Outcome.hpp"
#include "PauseControl.hpp"
#include "SettingsStoring.hpp"
#include "ShellIntegrating.hpp"
#include "ShellIntegrationItem.hpp"
#include "StartAtLogin.hpp"
#include "StatusItemShowing.hpp"
#include "StatusMenu.hpp"
#include "TrayMenu.hpp"
#include "URLRouter.hpp"
#include "WallpaperMemory.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperResolver.hpp"
#include "WallpaperRotation.hpp"

namespace lumivo {

// The helper's composition root: it builds and owns every component for the
// life of the process and carries out commands (lumivo:// URLs and menu
// choices) one at a time, in arrival order. Its public operations are entry
// points for the GUI thread. An apply resolves its video on one worker thread
// while the event loop stays live; all state, log lines, menus and alerts
// stay on the GUI thread.
class AppDelegate : public QObject, public HelperCommands {
  public:
    using ProgressHandler = std::function<void(std::int64_t received, std::int64_t expected)>;
    using MenuHandler = std::function<void(MenuChoice)>;

    // Where manifests and videos come from: the seams of the core library.
    struct Sources {
        std::unique_ptr<ManifestDataLoading> remoteLoader;
        std::unique_ptr<ManifestDataLoading> localLoader;
        std::unique_ptr<FileDownloading> downloader;
        FileManager* fileManager = nullptr;
        // Installs the handler the downloader reports progress to (from its own
        // thread). May be empty.
        std::function<void(ProgressHandler)> setProgressHandler;
    };

    // The desktop side: real Qt adapters in the helper, fakes in tests.
    struct Platform {
        std::unique_ptr<WallpaperPlaying> player;
        std::unique_ptr<Alerting> alerts;
        std::unique_ptr<BrowserOpening> browser;
        std::unique_ptr<SettingsStoring> settings;
        std::unique_ptr<Logging> log;
        // Makes the tray icon at launch; menu choices go to the handler.
        std::function<std::unique_ptr<StatusItemShowing>(MenuHandler, Logging&)> makeStatusItem;
        // Asks the application to leave its event loop.
        std::function<void()> terminate;
        // The session's autostart entry behind "Start at Login"; absent, no
        // such menu item.
        std::optional<AutostartEntry> autostart;
        // Rests `player` while nobody can see it, and "Pause Wallpaper"; absent,
        // no such menu item. Follows the session from launch on.
        std::unique_ptr<PauseControl> pause;
        // GNOME Shell's wallpaper integration, for "Enable GNOME Integration";
        // absent, no such menu item.
        std::unique_ptr<ShellIntegrating> shellIntegration;
    };

    // Builds every component; loads, downloads and shows nothing. Throws when
    // the cache cannot be set up (no per-user cache directory); the helper
    // must not run then.
    AppDelegate(HelperLocations locations, Sources sources, Platform platform);
    // Cuts the apply in progress short and waits for it to end (the worker,
    // destroyed first, waits for the job it runs).
    ~AppDelegate() override;

    // Launch: tray icon and menu, welcome on the first run (not at login),
    // start line. Runs as the first command, so URLs that arrive meanwhile
    // wait for it.
    void applicationDidFinishLaunching(bool atLogin = false);
    // Plays the remembered wallpaper again, for a start without a URL. A file
    // that went missing or fails its check is logged and forgotten; no alert.
    void restoreLastWallpaper();
    // Stops the wallpaper; called once as the event loop ends.
    void applicationWillTerminate();
    // A command URL delivered by the desktop; absent text means none was given.
    // A stop cancels the applies before it at once and then waits its turn.
    void handleURLEvent(std::optional<std::string> text) override;
    // Logs the URLs that a D-Bus Open call carried beyond the limit.
    void droppedURLs(std::size_t dropped, std::size_t kept) override;
    // Menu choices. All but quit() wait their turn behind running commands;
    // stopWallpaper() cancels the applies before it as a stop URL does.
    void stopWallpaper();
    void openGallery();
    void checkForUpdates();
    // D-Bus Activate: the helper has no window to raise, so nothing happens.
    void activate() override { requireGuiThread("activate"); }
    // D-Bus ActivateAction with the menu's actions by name ("stop-wallpaper",
    // "open-gallery", "check-for-updates", "quit"); returns false for others.
    bool activateAction(const std::string& name) override;
    // Acts at once, even during an apply or an alert: cancels the apply in
    // progress, stops the wallpaper and ends the event loop. Later commands are dropped.
    void quit();

    // True when no command runs or waits.
    bool isIdle() const { return commands.isIdle(); }
    // Waits for the background step in flight, if any; false when `limit` ran
    // out first (for instance a manifest fetch that has not timed out yet).
    bool waitForBackgroundWork(std::chrono::milliseconds limit) { return worker.waitIdle(limit); }

  private:
    using FromFile = ApplyResolution::FromFile;
    using Screen = std::optional<std::string>;

    // A command that ends when `step` returns; none once the helper quits,
    // when the queue refuses commands.
    void enqueueStep(std::function<void()> step);
    void finishLaunching(bool atLogin);
    void carryOut(const Outcome<Route>& route, std::stop_token stop, CommandQueue::Finish finish);
    void stopNow();
    // With `recent`, an entry of Recent Wallpapers for `id` (ApplyResolution).
    // In each-screen mode it plays on the monitor named `screen`, with none
    // on the one the user looks at.
    void apply(const std::string& id, const std::optional<FromFile>& recent, Screen screen,
               std::stop_token stop, CommandQueue::Finish finish);
    // Applies an entry of Recent Wallpapers, if there is one, in its turn; a
    // stop cuts it short as it does a URL's apply. A file that fails its
    // checks is applied from the gallery when `gallery`, else not at all.
    void applyRecent(const std::optional<LastWallpaper>& entry, bool gallery = true,
                     Screen screen = std::nullopt);
    // A cancelled apply ends quietly, whatever its outcome.
    void finishApply(const std::string& id, const Outcome<ResolvedWallpaper>& resolved,
                     bool cancelled, const Screen& screen, const CommandQueue::Finish& finish);
    // While an error alert is open, later errors are only logged, and one
    // alert follows for them (AlertCoalescer).
    void show(std::exception_ptr error);
    bool act(int answer);
    void onMenu(MenuChoice choice);
    void log(const std::string& message);
    void terminateNow();

    HelperLocations locations;
    std::unique_ptr<Alerting> alerts;
    std::unique_ptr<BrowserOpening> browser;
    std::unique_ptr<SettingsStoring> settings;
    std::unique_ptr<Logging> logger;
    std::function<std::unique_ptr<StatusItemShowing>(MenuHandler, Logging&)> makeStatusItem;
    std::function<void()> terminate;
    FileManager& fileManager;

    WallpaperResolver resolver;
    CacheUpkeep cacheUpkeep{CacheFolder(resolver.cacheRoot(), fileManager), *settings, worker, this,
                            [this](const std::string& message) { log(message); }};
    WallpaperMemory memory{*settings, resolver,
                           [this](const std::string& message) { log(message); }, &cacheUpkeep,
                           &rotation};
    StartAtLogin startAtLogin;
    std::unique_ptr<WallpaperPlaying> player;
    std::unique_ptr<PauseControl> pause;  // after player: destroyed before it
    WallpaperRotation rotation{*settings, memory.recent(), pause.get(),
                               // A change never downloads.
                               [this](const LastWallpaper& next, const Screen& screen) {
                                   applyRecent(next, false, screen);
                               },
                               [this](const std::string& message) { log(message); }, player.get()};
    TrayMenu menu{*settings,        startAtLogin, *player, pause.get(),
                  &memory.recent(), &rotation,    &memory};
    ShellIntegrationItem shellItem;

    bool quitting = false;
    // One error alert at a time; errors meanwhile follow in one more.
    AlertCoalescer errorAlerts{
        [this](const std::string& text) { return act(alerts->run(errorAlert(text))); }};
    ApplyResolution applies;
    CommandQueue commands{this};
    // Declared last: destroyed first, so a resolution still running ends
    // before the resolver it uses goes away.
    BlockingWorker worker;
};

}  // namespace lumivo
