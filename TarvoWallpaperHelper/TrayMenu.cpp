#include "TrayMenu.hpp"

#include <utility>

namespace lumivo {

constexpr const char* screensKey = "screens";

TrayMenu::TrayMenu(SettingsStoring& settings_, StartAtLogin& startAtLogin_,
                   WallpaperPlaying& player_, const PauseControl* pause_)
    : settings(settings_), startAtLogin(startAtLogin_), player(player_), pause(pause_) {}

void TrayMenu::launch(std::unique_ptr<StatusItemShowing> item) {
    statusItem = std::move(item);
    startAtLogin.refresh();
    player.setScreenMode(screenMode());
    update();
}

void TrayMenu::setTitle(std::optional<std::string> title) {
    currentTitle = std::move(title);
}

void TrayMenu::setDownloading(bool downloading) {
    isDownloading = downloading;
    if (!downloading) {
        progress.reset(statusItem.get());
    }
    update();
}

void TrayMenu::showProgress(const std::string& title, int percent) {
    progress.show(statusItem.get(), title, percent);
}

ScreenMode TrayMenu::screenMode() const {
    return screenModeFromKey(settings.text(screensKey).value_or(""))
        .value_or(ScreenMode::AllScreens);
}

void TrayMenu::chooseScreens(MenuAction choice) {
    const ScreenMode mode = choice == MenuAction::screensSpan   ? ScreenMode::SpanAcrossScreens
                            : choice == MenuAction::screensMain ? ScreenMode::MainScreenOnly
                                                                : ScreenMode::AllScreens;
    settings.setText(screensKey, std::string(screenModeKey(mode)));
    player.setScreenMode(mode);
    update();
}

std::exception_ptr TrayMenu::toggleStartAtLogin() {
    const std::exception_ptr error = startAtLogin.toggle();
    update();
    return error;
}

void TrayMenu::update() {
    // Built even without a tray icon, and then dropped.
    const ScreenMode mode = screenMode();
    const MenuAction screens = mode == ScreenMode::SpanAcrossScreens ? MenuAction::screensSpan
                               : mode == ScreenMode::MainScreenOnly  ? MenuAction::screensMain
                                                                     : MenuAction::screensAll;
    const std::optional<bool> paused = pause ? std::optional<bool>(pause->manual()) : std::nullopt;
    const StatusMenu menu = statusMenu(MenuState{isDownloading, currentTitle, paused, screens,
                                                 startAtLogin.checked(), gnomeIntegration});
    if (statusItem) {
        statusItem->setMenu(menu);
    }
}

}  // namespace lumivo
