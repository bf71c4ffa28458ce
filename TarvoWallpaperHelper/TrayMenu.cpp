#include "TrayMenu.hpp"

#include <utility>

#include "LogText.hpp"

namespace lumivo {

constexpr const char* screensKey = "screens";
// Long titles would make the menu as wide as the screen.
constexpr std::size_t menuTitleCharacters = 40;

TrayMenu::TrayMenu(SettingsStoring& settings_, StartAtLogin& startAtLogin_,
                   WallpaperPlaying& player_, const PauseControl* pause_, RecentWallpapers* recent_,
                   WallpaperRotation* rotation_, WallpaperMemory* memory_)
    : settings(settings_),
      startAtLogin(startAtLogin_),
      player(player_),
      pause(pause_),
      recent(recent_),
      rotation(rotation_),
      memory(memory_) {}

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

void TrayMenu::choose(MenuChoice choice) {
    if (choice.action == MenuAction::changeEvery) {
        // The fifth entry is the period already set.
        if (rotation && choice.index < std::size(changeEveryMinutes)) {
            rotation->setMinutes(changeEveryMinutes[choice.index]);
        }
        return update();
    }
    const MenuAction action = choice.action;
    const ScreenMode mode = action == MenuAction::screensSpan   ? ScreenMode::SpanAcrossScreens
                            : action == MenuAction::screensMain ? ScreenMode::MainScreenOnly
                            : action == MenuAction::screensEach ? ScreenMode::EachScreen
                                                                : ScreenMode::AllScreens;
    settings.setText(screensKey, std::string(screenModeKey(mode)));
    player.setScreenMode(mode);
    if (memory && mode != ScreenMode::EachScreen && currentTitle) {
        currentTitle = memory->playingEverywhere(player.video()).value_or(*currentTitle);
    }
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
                               : mode == ScreenMode::EachScreen      ? MenuAction::screensEach
                                                                     : MenuAction::screensAll;
    std::vector<std::string> screenNames;
    for (const Monitor& screen :
         mode == ScreenMode::EachScreen ? player.screens() : std::vector<Monitor>{}) {
        screenNames.push_back(screen.name);
    }
    const std::optional<bool> paused = pause ? std::optional<bool>(pause->manual()) : std::nullopt;
    std::vector<std::string> recentTitles;
    for (const LastWallpaper& entry : recent ? recent->entries() : std::vector<LastWallpaper>{}) {
        recentTitles.push_back(shortenedText(entry.title, menuTitleCharacters));
    }
    const std::optional<std::string> playing =
        memory && currentTitle ? memory->playingLine(player.screens(), currentTitle) : currentTitle;
    const StatusMenu menu = statusMenu(MenuState{
        isDownloading, playing, paused, screens, std::move(screenNames), std::move(recentTitles),
        rotation ? std::optional(rotation->minutes()) : std::nullopt, startAtLogin.checked(),
        gnomeIntegration});
    if (statusItem) {
        statusItem->setMenu(menu);
    }
}

}  // namespace lumivo
