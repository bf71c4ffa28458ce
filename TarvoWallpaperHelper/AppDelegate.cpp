#include "AppDelegate.hpp"

#include <utility>

#include "GuiThread.hpp"
#include "HelperAlerts.hpp"
#include "HelperConstants.hpp"
#include "HelperError.hpp"
#include "WebPages.hpp"

namespace lumivo {

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
      resolver(locations.resolverSetup(std::move(sources.remoteLoader),
                                       std::move(sources.localLoader),
                                       std::move(sources.downloader), *sources.fileManager)),
      memory(*settings, resolver, [this](const std::string& message) { log(message); }),
      startAtLogin(std::move(platform.autostart)),
      player(std::move(platform.player)) {
    if (sources.setProgressHandler) {
        // The downloader reports on the worker, where the resolver runs.
        sources.setProgressHandler([this](std::int64_t received, std::int64_t expected) {
            resolver.downloadProgressed(received, expected);
        });
    }
}

// ---- Entry points (GUI thread) -------------------------------------------

void AppDelegate::applicationDidFinishLaunching(bool atLogin) {
    requireGuiThread("applicationDidFinishLaunching");
    enqueueStep([this, atLogin] { finishLaunching(atLogin); });
}

void AppDelegate::restoreLastWallpaper() {
    requireGuiThread("restoreLastWallpaper");
    // The file's check runs beside launch; the wallpaper plays in its turn.
    auto restored = memory.restore(worker, this);
    enqueue([this, restored](CommandQueue::Finish finish) {
        restored([this, finish](const std::optional<LastWallpaper>& last) {
            if (last && !quitting && memory.play(*last, *player)) {
                currentTitle = last->title;
                updateMenu();
            }
            finish();
        });
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
    enqueueStep([this] { stopNow(); });
}

void AppDelegate::openGallery() {
    requireGuiThread("openGallery");
    enqueueStep([this] { browser->open(galleryURL()); });
}

void AppDelegate::checkForUpdates() {
    requireGuiThread("checkForUpdates");
    enqueueStep([this] { browser->open(helperURL()); });
}

void AppDelegate::quit() {
    requireGuiThread("quit");
    if (applying) {
        applying->cancel();
    }
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
    const std::optional<MenuAction> action = menuActionNamed(name);
    if (action) {
        onMenu(*action);
    }
    return action.has_value();
}

// ---- Launch and welcome --------------------------------------------------

void AppDelegate::finishLaunching(bool atLogin) {
    if (makeStatusItem) {
        statusItem = makeStatusItem([this](MenuAction action) { onMenu(action); }, *logger);
    }
    startAtLogin.refresh();
    updateMenu();
    // At login the flag stays unset: the welcome waits for a start by hand.
    if (!atLogin && welcomeOpensGallery(*settings, *alerts)) {
        browser->open(galleryURL());
    }
    log("Helper started. Manifest: " + HelperConstants::manifestEndpoint().absoluteString());
}

// ---- Commands ------------------------------------------------------------

void AppDelegate::enqueue(std::function<void(CommandQueue::Finish)> command) {
    if (!quitting) {
        commands.enqueue(std::move(command));
    }
}

void AppDelegate::enqueueStep(std::function<void()> step) {
    enqueue([step = std::move(step)](CommandQueue::Finish finish) {
        step();
        finish();
    });
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
                return apply(route.id(), std::move(finish));
        }
    } catch (...) {
        show(std::current_exception());
        finish();
    }
}

void AppDelegate::stopNow() {
    player->stop();
    currentTitle.reset();
    memory.forget();
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
        case MenuAction::startAtLogin:
            return enqueueStep([this] {
                const std::exception_ptr error = startAtLogin.toggle();
                updateMenu();
                if (error) {
                    show(error);
                }
            });
        case MenuAction::pauseWallpaper:
        case MenuAction::screensAll:
        case MenuAction::screensSpan:
        case MenuAction::screensMain:
        case MenuAction::none:
            return;
    }
}

// ---- Apply ---------------------------------------------------------------

// The menu reads "Downloading..." while the resolver finds the record and the
// video on the worker; its log lines and progress arrive here before its
// outcome. Then the player starts, and every way out settles the menu before
// an error is shown.
void AppDelegate::apply(const std::string& id, CommandQueue::Finish finish) {
    isDownloading = true;
    updateMenu();
    applying = std::make_shared<PostedReports>(
        this, [this](const std::string& message) { log(message); },
        [this](const std::string& title, int percent) { showProgress(title, percent); });
    worker.run(
        this, [this, id, reports = applying] { return resolver.resolve(id, *reports); },
        [this, finish = std::move(finish)](const Outcome<ResolvedWallpaper>& resolved) {
            if (!quitting) {
                finishApply(resolved);
                finish();
            }
        });
}

void AppDelegate::finishApply(const Outcome<ResolvedWallpaper>& resolved) {
    applying.reset();
    std::exception_ptr error = resolved.error();
    if (!error) {
        try {
            player->start(resolved.value().video);
            currentTitle = resolved.value().title;
            memory.remember(resolved.value());
            log("Applied " + resolved.value().title);
        } catch (...) {
            error = std::current_exception();
        }
    }
    isDownloading = false;
    if (std::exchange(showsProgress, false) && statusItem) {
        statusItem->setToolTip(std::string(HelperConstants::appName));
    }
    updateMenu();
    if (error) {
        show(error);
    }
}

// ---- Alerts, menu, pages, log -------------------------------------------

void AppDelegate::show(std::exception_ptr error) {
    const std::string description = localizedDescription(error);
    log("ERROR: " + description);
    const int answer = alerts->run(errorAlert(description));
    if (answer == 0) {
        browser->open(galleryURL());
    } else if (answer == 1) {
        player->stop();
        terminateNow();
    }
}

void AppDelegate::updateMenu() {
    // Built even without a tray icon, and then dropped.
    const StatusMenu menu =
        statusMenu(MenuState{isDownloading, currentTitle, {}, {}, startAtLogin.checked()});
    if (statusItem) {
        statusItem->setMenu(menu);
    }
}

Url AppDelegate::galleryURL() const {
    return webPage(fileManager.fileExists(locations.projectRoot.path()), WebPage::gallery);
}

Url AppDelegate::helperURL() const {
    return webPage(fileManager.fileExists(locations.projectRoot.path()), WebPage::helper);
}

void AppDelegate::showProgress(const std::string& title, int percent) {
    if (statusItem && !quitting) {
        showsProgress = true;
        statusItem->setToolTip("Downloading " + title + ": " + std::to_string(percent) + "%");
    }
}

void AppDelegate::log(const std::string& message) {
    // Nothing more is said once the helper quits, also by an apply's late reports.
    if (!quitting) {
        logger->log(message);
    }
}

void AppDelegate::terminateNow() {
    quitting = true;
    commands.close();
    if (terminate) {
        terminate();
    }
}

}  // namespace lumivo
