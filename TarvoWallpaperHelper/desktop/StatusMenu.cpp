#include "StatusMenu.hpp"

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

}  // namespace lumivo
