#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivo {

// What picking a tray menu item asks the delegate to do.
enum class MenuAction { none, stopWallpaper, openGallery, checkForUpdates, quit };

// One entry of the tray menu, as the delegate builds it from its state.
struct MenuEntry {
    bool isSeparator = false;
    std::string title;
    // Lower-case letter shown with the Ctrl modifier, or '\0' for none.
    char key = '\0';
    bool enabled = false;
    MenuAction action = MenuAction::none;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// The whole tray menu, top to bottom; rebuilt from scratch on every change.
using StatusMenu = std::vector<MenuEntry>;

// The tray menu for the helper's state: a disabled status line ("Downloading..."
// while an apply runs, else "Playing: <title>" or "No Wallpaper Playing"), then
// Stop Wallpaper (enabled while a title is set), Open Gallery, Check for
// Updates and Quit Helper, with separators.
StatusMenu statusMenu(bool isDownloading, const std::optional<std::string>& currentTitle);

// The menu action that a D-Bus ActivateAction names: "stop-wallpaper",
// "open-gallery", "check-for-updates" or "quit"; absent for any other name.
std::optional<MenuAction> menuActionNamed(std::string_view name);

}  // namespace lumivo
