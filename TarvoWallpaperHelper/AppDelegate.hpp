#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Alerting.hpp"
#include "BlockingWorker.hpp"
#include "BrowserOpening.hpp"
#include "CommandQueue.hpp"
#include "DownloadPolicy.hpp"
#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "HelperCommands.hpp"
#include "HelperLocations.hpp"
#include "Logging.hpp"
#include "ManifestDataLoading.hpp"
#include "ManifestStore.hpp"
#include "SettingsStoring.hpp"
#include "StatusItemShowing.hpp"
#include "StatusMenu.hpp"
#include "URLRouter.hpp"
#include "WallpaperCache.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

// The helper's composition root: it builds and owns every component for the
// life of the process and carries out commands (lumivo:// URLs and menu
// choices) one at a time, in arrival order. Its public operations are entry
// points for the GUI thread; blocking steps run on one worker thread while the
// event loop stays live, and all state, log lines, menus and alerts stay on
// the GUI thread.
class AppDelegate : public QObject, public HelperCommands {
  public:
    using ProgressHandler = std::function<void(std::int64_t received, std::int64_t expected)>;
    using MenuHandler = std::function<void(MenuAction)>;

    // Where manifests and videos come from: the seams of the core library.
    struct Sources {
        std::unique_ptr<ManifestDataLoading> remoteLoader;
        std::unique_ptr<ManifestDataLoading> localLoader;
        std::unique_ptr<FileDownloading> downloader;
        FileManager* fileManager = nullptr;
        // Cancels the download in progress; safe from any thread. May be empty.
        std::function<void()> cancelDownload;
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
    };

    // Builds every component; loads, downloads and shows nothing. Throws when
    // the cache cannot be set up (no per-user cache directory); the helper
    // must not run then.
    AppDelegate(HelperLocations locations, Sources sources, Platform platform);
    ~AppDelegate() override;

    // Launch: tray icon and menu, welcome on the first run, start line. Runs as
    // the first command, so URLs that arrive meanwhile wait for it.
    void applicationDidFinishLaunching();
    // Stops the wallpaper; called once as the event loop ends.
    void applicationWillTerminate();
    // A command URL delivered by the desktop; absent text means none was given.
    void handleURLEvent(std::optional<std::string> text) override;
    // Menu choices. All but quit() wait their turn behind running commands.
    void stopWallpaper();
    void openGallery();
    void checkForUpdates();
    // D-Bus Activate: the helper has no window to raise, so nothing happens.
    void activate() override;
    // D-Bus ActivateAction with the menu's actions by name ("stop-wallpaper",
    // "open-gallery", "check-for-updates", "quit"); returns false for others.
    bool activateAction(const std::string& name) override;
    // Acts at once, even during an apply or an alert: cancels a download,
    // stops the wallpaper and ends the event loop. Later commands are dropped.
    void quit();

    // The gallery and helper pages: the loopback development server while the
    // project root exists (asked anew each time), else the production host.
    Url galleryURL() const;
    Url helperURL() const;

    // True when no command runs or waits.
    bool isIdle() const;
    // Waits for the background step in flight, if any; false when `limit` ran
    // out first (for instance a manifest fetch that has not timed out yet).
    bool waitForBackgroundWork(std::chrono::milliseconds limit);

  private:
    using Done = std::function<void(std::exception_ptr)>;
    template <typename T>
    using Then = std::function<void(const Outcome<T>&)>;

    void enqueue(std::function<void(CommandQueue::Finish)> command);
    void finishLaunching();
    void carryOut(const std::optional<std::string>& text, CommandQueue::Finish finish);
    void stopNow();
    void apply(const std::string& id, Done done);
    void applyResolved(const WallpaperRecord& record, Done done);
    void record(const std::string& id, Then<std::optional<WallpaperRecord>> then);
    void remoteRecord(const std::string& id, Then<std::optional<WallpaperRecord>> then);
    void resolvedVideoURL(const WallpaperRecord& record, Then<std::filesystem::path> then);
    void cachedVideo(const WallpaperRecord& record, Then<std::filesystem::path> then);
    // Blocking (file-system checks): runs on the worker.
    std::optional<std::filesystem::path> localVideoURL(const WallpaperRecord& record) const;
    void show(std::exception_ptr error);
    void showWelcomeIfNeeded();
    void updateMenu();
    void onMenu(MenuAction action);
    void showProgress(int percent);
    void log(const std::string& message);
    void terminateNow();

    // Runs `step` on the worker and `then` back on the GUI thread, unless the
    // helper is quitting by then.
    template <typename Step, typename Then>
    void runBlocking(Step step, Then then) {
        worker.run(this, std::move(step), [this, then = std::move(then)](const auto& outcome) {
            if (!quitting) {
                then(outcome);
            }
        });
    }

    HelperLocations locations;
    std::unique_ptr<Alerting> alerts;
    std::unique_ptr<BrowserOpening> browser;
    std::unique_ptr<SettingsStoring> settings;
    std::unique_ptr<Logging> logger;
    std::function<std::unique_ptr<StatusItemShowing>(MenuHandler, Logging&)> makeStatusItem;
    std::function<void()> terminate;
    std::function<void()> cancelDownload;
    FileManager& fileManager;

    ManifestStore manifest;
    ManifestStore localManifest;
    DownloadPolicy policy;
    WallpaperCache cache;
    URLRouter router;
    std::unique_ptr<WallpaperPlaying> player;
    std::unique_ptr<StatusItemShowing> statusItem;
    std::optional<std::string> currentTitle;
    bool isDownloading = false;

    bool quitting = false;
    // Title and size of the video being downloaded, for the tooltip.
    std::optional<std::string> downloadingTitle;
    std::atomic<std::int64_t> downloadingBytes{0};
    std::atomic<int> lastPercent{-1};
    CommandQueue commands{this};
    // Declared last: destroyed first, so a step still running ends before the
    // stores and the cache it uses go away.
    BlockingWorker worker;
};

}  // namespace lumivo
