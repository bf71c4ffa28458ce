#pragma once

#include <optional>
#include <string>
#include <string_view>
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

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
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
    // "Screens": the chosen screensAll, screensSpan or screensMain.
    std::optional<MenuAction> screens;
    // "Start at Login", checked while the autostart entry exists.
    std::optional<bool> startAtLogin;
    // "Enable GNOME Integration", while GNOME Shell's extension is installed but off.
    bool offerGnomeIntegration = false;
};

// The tray menu for the helper's state: a disabled status line ("Downloading..."
// while an apply runs, else "Playing: <title>" or "No Wallpaper Playing"), then
// Stop Wallpaper (enabled while a title is set), Open Gallery, Check for
// Updates; then the optional group (Pause Wallpaper, enabled while a title is
// set; Screens; Start at Login; Enable GNOME Integration);
// then Quit Helper, with separators between the groups.
StatusMenu statusMenu(const MenuState& state);

// The menu action that a D-Bus ActivateAction names: "stop-wallpaper",
// "open-gallery", "check-for-updates" or "quit"; absent for any other name.
std::optional<MenuAction> menuActionNamed(std::string_view name);

}  // namespace lumivo
