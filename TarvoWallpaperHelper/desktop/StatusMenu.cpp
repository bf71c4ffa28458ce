#include "StatusMenu.hpp"

#include <utility>

namespace lumivo {

StatusMenu statusMenu(bool isDownloading, const std::optional<std::string>& currentTitle) {
    std::string status = isDownloading  ? "Downloading..."
                         : currentTitle ? "Playing: " + *currentTitle
                                        : "No Wallpaper Playing";
    return {
        MenuEntry{false, std::move(status), '\0', false, MenuAction::none},
        MenuEntry{true, "", '\0', false, MenuAction::none},
        MenuEntry{false, "Stop Wallpaper", 's', currentTitle.has_value(),
                  MenuAction::stopWallpaper},
        MenuEntry{false, "Open Gallery", 'g', true, MenuAction::openGallery},
        MenuEntry{false, "Check for Updates", 'u', true, MenuAction::checkForUpdates},
        MenuEntry{true, "", '\0', false, MenuAction::none},
        MenuEntry{false, "Quit Helper", 'q', true, MenuAction::quit},
    };
}

std::optional<MenuAction> menuActionNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, MenuAction> actions[] = {
        {"stop-wallpaper", MenuAction::stopWallpaper},
        {"open-gallery", MenuAction::openGallery},
        {"check-for-updates", MenuAction::checkForUpdates},
        {"quit", MenuAction::quit},
    };
    for (const auto& [actionName, action] : actions) {
        if (name == actionName) {
            return action;
        }
    }
    return std::nullopt;
}

}  // namespace lumivo
