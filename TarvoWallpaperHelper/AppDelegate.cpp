#include "AppDelegate.hpp"

#include <algorithm>
#include <utility>

#include "GuiThread.hpp"
#include "HelperConstants.hpp"
#include "HelperError.hpp"
#include "LocalAssets.hpp"

namespace lumivo {

namespace {

constexpr const char* logPrefix = "[LumivoHelper] ";
constexpr const char* welcomeKey = "hasShownWelcome";
constexpr const char* developmentOrigin = "http://127.0.0.1:4173";

std::string describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return localizedDescription(e);
    } catch (...) {
        return "Unknown error.";
    }
}

Url pageURL(bool development, std::string_view page) {
    const std::string origin = development ? std::string(developmentOrigin)
                                           : "https://" + std::string(HelperConstants::webOrigin());
    return *Url::parse(origin + std::string(page));
}

}  // namespace

AppDelegate::AppDelegate(HelperLocations locations_, Sources sources, Platform platform)
    : locations(std::move(locations_)),
      alerts(std::move(platform.alerts)),
      browser(std::move(platform.browser)),
      settings(std::move(platform.settings)),
      logger(std::move(platform.log)),
      makeStatusItem(std::move(platform.makeStatusItem)),
      terminate(std::move(platform.terminate)),
      cancelDownload(std::move(sources.cancelDownload)),
      fileManager(*sources.fileManager),
      manifest(HelperConstants::manifestEndpoint(), std::move(sources.remoteLoader)),
      localManifest(locations.localManifestURL, std::move(sources.localLoader)),
      policy({*HelperConstants::manifestEndpoint().host()}, 314572800),
      cache(std::move(sources.downloader), *sources.fileManager),
      router(),
      player(std::move(platform.player)) {
    if (sources.setProgressHandler) {
        // Called on the downloading thread: only post when the percentage moves.
        sources.setProgressHandler([this](std::int64_t received, std::int64_t expected) {
            const std::int64_t total = expected > 0 ? expected : downloadingBytes.load();
            if (total <= 0) {
                return;
            }
            const int percent =
                static_cast<int>(std::clamp<std::int64_t>(received * 100 / total, 0, 100));
            if (lastPercent.exchange(percent) != percent) {
                QMetaObject::invokeMethod(
                    this, [this, percent] { showProgress(percent); }, Qt::QueuedConnection);
            }
        });
    }
}

AppDelegate::~AppDelegate() = default;

// ---- Entry points (GUI thread) -------------------------------------------

void AppDelegate::applicationDidFinishLaunching() {
    requireGuiThread("applicationDidFinishLaunching");
    enqueue([this](CommandQueue::Finish finish) {
        finishLaunching();
        finish();
    });
}

void AppDelegate::applicationWillTerminate() {
    requireGuiThread("applicationWillTerminate");
    player->stop();
}

void AppDelegate::handleURLEvent(std::optional<std::string> text) {
    requireGuiThread("handleURLEvent");
    enqueue([this, text = std::move(text)](CommandQueue::Finish finish) {
        carryOut(text, std::move(finish));
    });
}

void AppDelegate::stopWallpaper() {
    requireGuiThread("stopWallpaper");
    enqueue([this](CommandQueue::Finish finish) {
        stopNow();
        finish();
    });
}

void AppDelegate::openGallery() {
    requireGuiThread("openGallery");
    enqueue([this](CommandQueue::Finish finish) {
        browser->open(galleryURL());
        finish();
    });
}

void AppDelegate::checkForUpdates() {
    requireGuiThread("checkForUpdates");
    enqueue([this](CommandQueue::Finish finish) {
        browser->open(helperURL());
        finish();
    });
}

void AppDelegate::quit() {
    requireGuiThread("quit");
    if (cancelDownload) {
        cancelDownload();
    }
    player->stop();
    terminateNow();
}

void AppDelegate::activate() {
    requireGuiThread("activate");
}

bool AppDelegate::activateAction(const std::string& name) {
    requireGuiThread("activateAction");
    static const std::pair<std::string_view, MenuAction> actions[] = {
        {"stop-wallpaper", MenuAction::stopWallpaper},
        {"open-gallery", MenuAction::openGallery},
        {"check-for-updates", MenuAction::checkForUpdates},
        {"quit", MenuAction::quit},
    };
    for (const auto& [actionName, action] : actions) {
        if (name == actionName) {
            onMenu(action);
            return true;
        }
    }
    return false;
}

bool AppDelegate::isIdle() const {
    return commands.isIdle();
}

bool AppDelegate::waitForBackgroundWork(std::chrono::milliseconds limit) {
    return worker.waitIdle(limit);
}

// ---- Launch and welcome --------------------------------------------------

void AppDelegate::finishLaunching() {
    if (makeStatusItem) {
        statusItem = makeStatusItem([this](MenuAction action) { onMenu(action); }, *logger);
    }
    updateMenu();
    showWelcomeIfNeeded();
    if (!quitting) {
        log("Helper started. Manifest: " + HelperConstants::manifestEndpoint().absoluteString());
    }
}

void AppDelegate::showWelcomeIfNeeded() {
    if (settings->flag(welcomeKey)) {
        return;
    }
    // Set before the alert so the welcome never shows twice, however it ends.
    settings->setFlag(welcomeKey, true);
    const int answer = alerts->run(AlertRequest{
        std::string(HelperConstants::appName) + " is running",
        "Look for the Lumivo Helper icon in the menu bar. Return to the gallery and click "
        "Apply to Mac on any wallpaper.",
        AlertRequest::Style::informational,
        {"Open Gallery", "OK"},
    });
    if (answer == 0) {
        browser->open(galleryURL());
    }
}

// ---- Commands ------------------------------------------------------------

void AppDelegate::enqueue(std::function<void(CommandQueue::Finish)> command) {
    if (!quitting) {
        commands.enqueue(std::move(command));
    }
}

void AppDelegate::carryOut(const std::optional<std::string>& text, CommandQueue::Finish finish) {
    std::optional<Url> url = text ? Url::parse(*text) : std::nullopt;
    if (!url) {
        show(std::make_exception_ptr(HelperError::badURL()));
        return finish();
    }
    try {
        const Route route = router.parse(*url);
        switch (route.kind()) {
            case Route::Kind::ping:
                log("ping");
                return finish();
            case Route::Kind::stop:
                stopNow();
                return finish();
            case Route::Kind::apply:
                apply(route.id(), [this, finish](std::exception_ptr error) {
                    if (error) {
                        show(error);
                    }
                    finish();
                });
                return;
        }
    } catch (...) {
        show(std::current_exception());
        finish();
    }
}

void AppDelegate::stopNow() {
    player->stop();
    currentTitle.reset();
    updateMenu();
    log("Stopped wallpaper");
}

void AppDelegate::onMenu(MenuAction action) {
    switch (action) {
        case MenuAction::stopWallpaper:
            return stopWallpaper();
        case MenuAction::openGallery:
            return openGallery();
        case MenuAction::checkForUpdates:
            return checkForUpdates();
        case MenuAction::quit:
            return quit();
        case MenuAction::none:
            return;
    }
}

// ---- Apply workflow ------------------------------------------------------

void AppDelegate::apply(const std::string& id, Done done) {
    isDownloading = true;
    updateMenu();
    // Every way out settles the menu before the caller shows an error.
    Done settle = [this, done = std::move(done)](std::exception_ptr error) {
        isDownloading = false;
        updateMenu();
        done(error);
    };
    record(id, [this, id, settle](const Outcome<std::optional<WallpaperRecord>>& found) {
        if (found.failed()) {
            return settle(found.error());
        }
        if (!found.value()) {
            return settle(std::make_exception_ptr(HelperError::missingRecord(id)));
        }
        applyResolved(*found.value(), settle);
    });
}

void AppDelegate::applyResolved(const WallpaperRecord& record, Done settle) {
    resolvedVideoURL(record, [this, record, settle](const Outcome<std::filesystem::path>& video) {
        if (video.failed()) {
            return settle(video.error());
        }
        try {
            player->start(video.value());
        } catch (...) {
            return settle(std::current_exception());
        }
        currentTitle = record.title();
        log("Applied " + record.title());
        settle(nullptr);
    });
}

void AppDelegate::record(const std::string& id, Then<std::optional<WallpaperRecord>> then) {
    const auto localPath = std::filesystem::path(locations.localManifestURL.path());
    runBlocking([this, localPath] { return fileManager.isReadableFile(localPath); },
                [this, id, then, localPath](const Outcome<bool>& readable) {
                    if (!readable.failed() && readable.value()) {
                        log("Using local manifest: " + localPath.string());
                        runBlocking([this, id] { return localManifest.record(id); }, then);
                        return;
                    }
                    remoteRecord(id, then);
                });
}

void AppDelegate::remoteRecord(const std::string& id, Then<std::optional<WallpaperRecord>> then) {
    using Found = Outcome<std::optional<WallpaperRecord>>;
    runBlocking(
        [this, id] { return manifest.record(id); },
        [this, id, then](const Found& remote) {
            if (!remote.failed()) {
                return then(remote);
            }
            log("Remote manifest failed, trying local manifest: " + describe(remote.error()));
            runBlocking([this, id] { return localManifest.record(id); }, then);
        });
}

void AppDelegate::resolvedVideoURL(const WallpaperRecord& record,
                                   Then<std::filesystem::path> then) {
    using Local = Outcome<std::optional<std::filesystem::path>>;
    runBlocking([this, record] { return localVideoURL(record); },
                [this, record, then](const Local& local) {
                    if (local.failed() || !local.value()) {
                        return cachedVideo(record, then);
                    }
                    log("Using local asset fallback: " + local.value()->string());
                    then(Outcome(*local.value()));
                });
}

void AppDelegate::cachedVideo(const WallpaperRecord& record, Then<std::filesystem::path> then) {
    using Path = std::filesystem::path;
    downloadingTitle = record.title();
    downloadingBytes = record.bytes();
    lastPercent = -1;
    runBlocking([this, record] { return cache.localFile(record, policy); },
                [this, record, then](const Outcome<Path>& cached) {
                    downloadingTitle.reset();
                    if (statusItem) {
                        statusItem->setToolTip(std::string(HelperConstants::appName));
                    }
                    if (!cached.failed()) {
                        return then(cached);
                    }
                    // The file may have turned up in the checkout meanwhile.
                    runBlocking([this, record] { return localVideoURL(record); },
                                [this, then, cached](const Outcome<std::optional<Path>>& again) {
                                    if (again.failed() || !again.value()) {
                                        return then(cached);
                                    }
                                    log("Download failed, using local asset fallback: " +
                                        describe(cached.error()));
                                    then(Outcome(*again.value()));
                                });
                });
}

std::optional<std::filesystem::path> AppDelegate::localVideoURL(
    const WallpaperRecord& record) const {
    return LocalAssets(locations.webPublicRoot.path(), fileManager).file(record.videoUrl());
}

// ---- Alerts, menu, pages, log -------------------------------------------

void AppDelegate::show(std::exception_ptr error) {
    const std::string description = describe(error);
    log("ERROR: " + description);
    const int answer = alerts->run(AlertRequest{
        std::string(HelperConstants::appName),
        description,
        AlertRequest::Style::warning,
        {"Open Gallery", "Quit", "Cancel"},
    });
    if (answer == 0) {
        browser->open(galleryURL());
    } else if (answer == 1) {
        player->stop();
        terminateNow();
    }
}

void AppDelegate::updateMenu() {
    // Built even without a tray icon, and then dropped.
    const StatusMenu menu = statusMenu(isDownloading, currentTitle);
    if (statusItem) {
        statusItem->setMenu(menu);
    }
}

void AppDelegate::showProgress(int percent) {
    if (statusItem && downloadingTitle) {
        statusItem->setToolTip("Downloading " + *downloadingTitle + ": " + std::to_string(percent) +
                               "%");
    }
}

Url AppDelegate::galleryURL() const {
    return pageURL(fileManager.fileExists(locations.projectRoot.path()), "/live-wallpapers/");
}

Url AppDelegate::helperURL() const {
    return pageURL(fileManager.fileExists(locations.projectRoot.path()), "/mac-helper/");
}

void AppDelegate::log(const std::string& message) {
    logger->write(logPrefix + message);
}

void AppDelegate::terminateNow() {
    quitting = true;
    commands.close();
    if (terminate) {
        terminate();
    }
}

}  // namespace lumivo
