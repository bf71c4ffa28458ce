#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumivo {

// What picking a tray menu item asks the delegate to do.
enum class MenuAction {
    none,
    stopWallpaper,
    openGallery,
    checkForUpdates,
    pauseWallpaper,
    screensAll,
    screensSpan,
    screensMain,
    screensEach,
    // An entry of a screen's submenu of recent wallpapers (each-screen mode):
    // MenuEntry::index says which, MenuEntry::screen for which monitor.
    screenWallpaper,
    // An entry of Recent Wallpapers; MenuEntry::index says which.
    recentWallpaper,
    // An entry of Change Every; MenuEntry::index says which (changeEveryMinutes).
    changeEvery,
    startAtLogin,
    enableGnomeIntegration,
    quit,
};

// One entry of the tray menu, as the delegate builds it from its state.
struct MenuEntry {
    bool isSeparator = false;
    std::string title;
    // Lower-case letter shown with the Ctrl modifier, or '\0' for none.
    char key = '\0';
    bool enabled = false;
    MenuAction action = MenuAction::none;
    // Present for a checkable item: whether it shows its check mark.
    std::optional<bool> checked;
    // A submenu's entries; its items are exclusive choices (radio items).
    std::vector<MenuEntry> submenu;
    // Which of a list of like items this is, for the action.
    std::size_t index = 0;
    // The monitor a screenWallpaper entry is for, by name.
    std::optional<std::string> screen = std::nullopt;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// A picked menu item: its action and, for an item of a list, its index there
// (and the screen a screenWallpaper entry is for).
struct MenuChoice {
    MenuChoice(MenuAction action_, std::size_t index_ = 0,
               std::optional<std::string> screen_ = std::nullopt)
        : action(action_), index(index_), screen(std::move(screen_)) {}

    MenuAction action;
    std::size_t index;
    std::optional<std::string> screen = std::nullopt;
};

// The whole tray menu, top to bottom; rebuilt from scratch on every change.
using StatusMenu = std::vector<MenuEntry>;

// The helper's state as the menu shows it. The optional items appear only when
// their feature is present (the delegate passes a value for each).
struct MenuState {
    bool isDownloading = false;
    std::optional<std::string> currentTitle;
    // "Pause Wallpaper", checked while the user has paused the wallpaper.
    std::optional<bool> paused;
    // "Screens": the chosen screensAll, screensSpan, screensMain or screensEach.
    std::optional<MenuAction> screens;
    // In each-screen mode, the monitors by name, left to right: each gets a
    // submenu of the recent wallpapers under Screens.
    std::vector<std::string> screenNames;
    // "Recent Wallpapers": the titles, newest first, as the menu shows them;
    // the submenu appears while there is one.
    std::vector<std::string> recentTitles;
    // "Change Every", beside Recent Wallpapers: the period in minutes, 0 for
    // never.
    std::optional<std::int64_t> rotateMinutes;
    // "Start at Login", checked while the autostart entry exists.
    std::optional<bool> startAtLogin;
    // "Enable GNOME Integration", while GNOME Shell's extension is installed but off.
    bool offerGnomeIntegration = false;
};

// The tray menu for the helper's state: a disabled status line ("Downloading..."
// while an apply runs, else "Playing: <title>" or "No Wallpaper Playing"), then
// Stop Wallpaper (enabled while a title is set), Open Gallery, Check for
// Updates; then the optional group (Pause Wallpaper, enabled while a title is
// set; Screens, and there a submenu per screen in each-screen mode; Recent Wallpapers and Change
// Every; Start at Login; Enable GNOME Integration); then Quit Helper, with separators between the
// groups.
StatusMenu statusMenu(const MenuState& state);

// The periods Change Every offers, in minutes, by index: Never, 10 Minutes,
// 1 Hour, 1 Day. Another period in the settings shows as a fifth, checked.
inline constexpr std::int64_t changeEveryMinutes[] = {0, 10, 60, 24 * 60};

// The menu action that a D-Bus ActivateAction names: "stop-wallpaper",
// "open-gallery", "check-for-updates" or "quit"; absent for any other name.
std::optional<MenuAction> menuActionNamed(std::string_view name);

}  // namespace lumivo
