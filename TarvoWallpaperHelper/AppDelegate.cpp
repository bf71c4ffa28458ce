#include "AppDelegate.hpp"

#include <utility>

#include "CommandRoute.hpp"
#include "HelperAlerts.hpp"
#include "HelperConstants.hpp"
#include "HelperError.hpp"
#include "LogText.hpp"
#include "ResolverSetup.hpp"
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
      fileManager(*sources.fileManager),
      resolver(resolverSetup(locations, std::move(sources.remoteLoader),
                             std::move(sources.localLoader), std::move(sources.downloader),
                             sources.fileManager)),
      startAtLogin(std::move(platform.autostart)),
      player(std::move(platform.player)),
      pause(std::move(platform.pause)),
      shellItem(
          std::move(platform.shellIntegration), menu,
          [this](const std::string& line) { log(line); },
          [this](const std::string& problem) {
              if (!quitting) {
                  alerts->run(noticeAlert(problem));
              }
          }),
      applies(
          this, resolver, worker, sources.setProgressHandler,
          [this](const std::string& message) { log(message); },
          [this](const std::string& title, int percent) {
              if (!quitting) {
                  menu.showProgress(title, percent);
              }
          }) {}

AppDelegate::~AppDelegate() {
    applies.stop();
}

void AppDelegate::applicationDidFinishLaunching(bool atLogin) {
    requireGuiThread("applicationDidFinishLaunching");
    enqueueStep([this, atLogin] { finishLaunching(atLogin); });
}

void AppDelegate::restoreLastWallpaper() {
    requireGuiThread("restoreLastWallpaper");
    // The file's check and the player's loading run beside launch; it plays in its turn.
    auto restored = memory.restore(worker, this, *player);
    commands.enqueue([this, restored](CommandQueue::Finish finish) {
        restored([this, finish](const std::optional<LastWallpaper>& last) {
            if (last && !quitting && memory.play(*last, *player)) {
                menu.setTitle(last->title);
                menu.update();
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
    // Parsed on arrival, so that a stop need not wait behind an apply to be seen.
    auto route = Outcome<Route>::capture([&] { return commandRoute(text); });
    if (!route.failed() && route.value().kind() == Route::Kind::stop) {
        applies.stop();
    }
    commands.enqueue(
        [this, route = std::move(route), stop = applies.arrived()](CommandQueue::Finish finish) {
            carryOut(route, stop, std::move(finish));
        });
}

void AppDelegate::droppedURLs(std::size_t dropped, std::size_t kept) {
    requireGuiThread("droppedURLs");
    log("Dropped " + std::to_string(dropped) + " URLs of one request beyond the first " +
        std::to_string(kept));
}

void AppDelegate::stopWallpaper() {
    requireGuiThread("stopWallpaper");
    applies.stop();
    enqueueStep([this] { stopNow(); });
}

void AppDelegate::openGallery() {
    requireGuiThread("openGallery");
    enqueueStep([this] { browser->open(locations.webPage(WebPage::gallery, fileManager)); });
}

void AppDelegate::checkForUpdates() {
    requireGuiThread("checkForUpdates");
    enqueueStep([this] { browser->open(locations.webPage(WebPage::helper, fileManager)); });
}

void AppDelegate::quit() {
    requireGuiThread("quit");
    applies.stop();
    player->stop();
    terminateNow();
}

bool AppDelegate::activateAction(const std::string& name) {
    requireGuiThread("activateAction");
    const std::optional<MenuAction> action = menuActionNamed(name);
    if (action) {
        onMenu(*action);
    }
    return action.has_value();
}

void AppDelegate::finishLaunching(bool atLogin) {
    const MenuHandler onChoice = [this](MenuChoice choice) { onMenu(choice); };
    menu.launch(makeStatusItem ? makeStatusItem(onChoice, *logger) : nullptr);
    if (pause) {
        pause->followSession(QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    }
    shellItem.follow();
    // At login the flag stays unset: the welcome waits for a start by hand.
    if (!atLogin && welcomeOpensGallery(*settings, *alerts)) {
        browser->open(locations.webPage(WebPage::gallery, fileManager));
    }
    log("Helper started. Manifest: " + HelperConstants::manifestEndpoint().absoluteString());
}

void AppDelegate::enqueueStep(std::function<void()> step) {
    commands.enqueue([step = std::move(step)](CommandQueue::Finish finish) {
        step();
        finish();
    });
}

// A failure ends its command before its alert shows: the next ones run meanwhile.
void AppDelegate::carryOut(const Outcome<Route>& route, std::stop_token stop,
                           CommandQueue::Finish finish) {
    if (route.failed()) {
        finish();
        return show(route.error());
    }
    switch (route.value().kind()) {
        case Route::Kind::ping:
            log("ping");
            return finish();
        case Route::Kind::stop:
            stopNow();
            return finish();
        case Route::Kind::apply:
            return apply(route.value().id(), {}, {}, std::move(stop), std::move(finish));
    }
}

void AppDelegate::stopNow() {
    player->stop();
    menu.setTitle(std::nullopt);
    memory.forget();
    menu.update();
    log("Stopped wallpaper");
}

void AppDelegate::onMenu(MenuChoice choice) {
    switch (choice.action) {
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
                if (const std::exception_ptr error = menu.toggleStartAtLogin()) {
                    show(error);
                }
            });
        case MenuAction::screensAll:
        case MenuAction::screensSpan:
        case MenuAction::screensMain:
        case MenuAction::screensEach:
        case MenuAction::changeEvery:
            return enqueueStep([this, choice] { menu.choose(choice); });
        case MenuAction::recentWallpaper:
        case MenuAction::screenWallpaper:  // for the screen named, else as a URL's
            return applyRecent(memory.recent().at(choice.index), true, choice.screen);
        case MenuAction::pauseWallpaper:
            // At once: the pause is for the wallpaper on screen now (an apply clears it).
            if (pause && !quitting) {
                pause->setManual(!pause->manual());
                menu.update();
            }
            return;
        case MenuAction::enableGnomeIntegration:
            if (!quitting) {
                shellItem.enable();
            }
            return;
        case MenuAction::none:
            return;
    }
}

void AppDelegate::applyRecent(const std::optional<LastWallpaper>& entry, bool gallery,
                              Screen screen) {
    if (entry) {
        commands.enqueue([=, this, stop = applies.arrived()](CommandQueue::Finish finish) {
            apply(entry->id, FromFile{*entry, gallery}, screen, stop, std::move(finish));
        });
    }
}

// "Downloading..." shows while the worker finds the video, with its log lines
// and progress; every way out settles the menu before an error shows.
void AppDelegate::apply(const std::string& id, const std::optional<FromFile>& recent, Screen screen,
                        std::stop_token stop, CommandQueue::Finish finish) {
    if (stop.stop_requested()) {  // a stop came after it, before its turn
        log("Apply cancelled: " + shortenedText(id));
        return finish();
    }
    menu.setDownloading(true);
    applies.resolve(id, recent, std::move(stop),
                    [=, this](const Outcome<ResolvedWallpaper>& resolved, bool cancelled) {
                        finishApply(id, resolved, cancelled, screen, finish);
                    });
}

void AppDelegate::finishApply(const std::string& id, const Outcome<ResolvedWallpaper>& resolved,
                              bool cancelled, const Screen& screen,
                              const CommandQueue::Finish& finish) {
    if (quitting) {
        return;
    }
    std::exception_ptr error = resolved.error();
    if (cancelled) {
        log("Apply cancelled: " + shortenedText(id));
        error = nullptr;
    } else if (!error) {
        try {
            // On one screen in each-screen mode, else everywhere.
            if (!memory.play(resolved.value(), screen, *player)) {
                menu.setTitle(resolved.value().title);
            }
            log("Applied " + shortenedText(resolved.value().title));
        } catch (...) {
            error = std::current_exception();
        }
    }
    menu.setDownloading(false);
    finish();
    if (error) {
        show(error);
    }
}

void AppDelegate::show(std::exception_ptr error) {
    const std::string description = shortenedText(escapedLogText(localizedDescription(error)));
    log("ERROR: " + description);
    errorAlerts.report(description);
}

bool AppDelegate::act(int answer) {
    if (answer == 0) {
        browser->open(locations.webPage(WebPage::gallery, fileManager));
    } else if (answer == 1) {
        quit();
    }
    return !quitting;
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
