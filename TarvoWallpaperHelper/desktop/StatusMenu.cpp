#include "StatusMenu.hpp"

#include <utility>

namespace lumivo {

namespace {

MenuEntry item(std::string title, char key, bool enabled, MenuAction action) {
    return MenuEntry{false, std::move(title), key, enabled, action, std::nullopt, {}};
}

MenuEntry checkable(std::string title, bool checked, MenuAction action, bool enabled = true) {
    return MenuEntry{false, std::move(title), '\0', enabled, action, checked, {}};
}

MenuEntry separator() {
    return MenuEntry{true, "", '\0', false, MenuAction::none, std::nullopt, {}};
}

std::string minutesTitle(std::int64_t minutes) {
    return minutes == 1 ? "1 Minute" : std::to_string(minutes) + " Minutes";
}

MenuEntry changeEvery(std::int64_t minutes) {
    MenuEntry menu = item("Change Every", '\0', true, MenuAction::none);
    const char* titles[] = {"Never", "10 Minutes", "1 Hour", "1 Day"};
    bool offered = false;
    for (std::size_t i = 0; i < std::size(changeEveryMinutes); ++i) {
        offered = offered || minutes == changeEveryMinutes[i];
        menu.submenu.push_back(
            checkable(titles[i], minutes == changeEveryMinutes[i], MenuAction::changeEvery));
        menu.submenu.back().index = i;
    }
    if (!offered) {  // a period set in the settings file
        menu.submenu.push_back(checkable(minutesTitle(minutes), true, MenuAction::changeEvery));
        menu.submenu.back().index = std::size(changeEveryMinutes);
    }
    return menu;
}

}  // namespace

StatusMenu statusMenu(const MenuState& state) {
    std::string status = state.isDownloading  ? "Downloading..."
                         : state.currentTitle ? "Playing: " + *state.currentTitle
                                              : "No Wallpaper Playing";
    StatusMenu menu{
        item(std::move(status), '\0', false, MenuAction::none),
        separator(),
        item("Stop Wallpaper", 's', state.currentTitle.has_value(), MenuAction::stopWallpaper),
        item("Open Gallery", 'g', true, MenuAction::openGallery),
        item("Check for Updates", 'u', true, MenuAction::checkForUpdates),
    };
    StatusMenu extras;
    if (state.paused) {
        // As Stop Wallpaper: there is something to pause only while a title is set.
        extras.push_back(checkable("Pause Wallpaper", *state.paused, MenuAction::pauseWallpaper,
                                   state.currentTitle.has_value()));
    }
    if (state.screens) {
        MenuEntry screens = item("Screens", '\0', true, MenuAction::none);
        for (const auto& [title, choice] :
             {std::pair{"All Screens", MenuAction::screensAll},
              std::pair{"Span Across Screens", MenuAction::screensSpan},
              std::pair{"Main Screen Only", MenuAction::screensMain},
              std::pair{"Each Screen Separately", MenuAction::screensEach}}) {
            screens.submenu.push_back(checkable(title, *state.screens == choice, choice));
        }
        for (std::size_t s = 0; s < state.screenNames.size() && !state.recentTitles.empty(); ++s) {
            if (s == 0) {
                screens.submenu.push_back(separator());
            }
            MenuEntry screen = item(state.screenNames[s], '\0', true, MenuAction::none);
            for (std::size_t i = 0; i < state.recentTitles.size(); ++i) {
                screen.submenu.push_back(
                    item(state.recentTitles[i], '\0', true, MenuAction::screenWallpaper));
                screen.submenu.back().index = i;
                screen.submenu.back().screen = state.screenNames[s];
            }
            screens.submenu.push_back(std::move(screen));
        }
        extras.push_back(std::move(screens));
    }
    if (!state.recentTitles.empty()) {
        MenuEntry recent = item("Recent Wallpapers", '\0', true, MenuAction::none);
        for (std::size_t i = 0; i < state.recentTitles.size(); ++i) {
            recent.submenu.push_back(
                item(state.recentTitles[i], '\0', true, MenuAction::recentWallpaper));
            recent.submenu.back().index = i;
        }
        extras.push_back(std::move(recent));
        if (state.rotateMinutes) {
            extras.push_back(changeEvery(*state.rotateMinutes));
        }
    }
    if (state.startAtLogin) {
        extras.push_back(
            checkable("Start at Login", *state.startAtLogin, MenuAction::startAtLogin));
    }
    if (state.offerGnomeIntegration) {
        extras.push_back(
            item("Enable GNOME Integration", '\0', true, MenuAction::enableGnomeIntegration));
    }
    menu.push_back(separator());
    if (!extras.empty()) {
        menu.insert(menu.end(), extras.begin(), extras.end());
        menu.push_back(separator());
    }
    menu.push_back(item("Quit Helper", 'q', true, MenuAction::quit));
    return menu;
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
