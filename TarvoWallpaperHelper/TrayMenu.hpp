#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "PauseControl.hpp"
#include "ProgressToolTip.hpp"
#include "RecentWallpapers.hpp"
#include "ScreenMode.hpp"
#include "SettingsStoring.hpp"
#include "StartAtLogin.hpp"
#include "StatusItemShowing.hpp"
#include "StatusMenu.hpp"
#include "WallpaperMemory.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperRotation.hpp"

namespace lumivo {

// The tray icon and its menu, rebuilt from the helper's state: the wallpaper
// playing, a download running, the "screens" setting, start at login and, with
// a PauseControl, the manual pause, with RecentWallpapers their titles, and
// with a WallpaperRotation its period.
class TrayMenu {
  public:
    TrayMenu(SettingsStoring& settings, StartAtLogin& startAtLogin, WallpaperPlaying& player,
             const PauseControl* pause = nullptr, RecentWallpapers* recent = nullptr,
             WallpaperRotation* rotation = nullptr, WallpaperMemory* memory = nullptr);

    // Shows the first menu on the tray icon, if any (without one, menus are
    // built and dropped), and gives the player the stored screen mode.
    void launch(std::unique_ptr<StatusItemShowing> item);
    // Shown by the next update(): the wallpaper that plays everywhere (in
    // each-screen mode, on the screens without their own).
    void setTitle(std::optional<std::string> title);
    const std::optional<std::string>& title() const { return currentTitle; }
    // Updates the menu; ending a download also takes its progress off the tooltip.
    void setDownloading(bool downloading);
    void showProgress(const std::string& title, int percent);
    // Stores the mode of a Screens menu choice and gives it to the player
    // (leaving each-screen mode, what plays everywhere then is remembered
    // alone), or the period of a Change Every choice and gives it to the
    // rotation.
    void choose(MenuChoice choice);
    // Returns the error to show, if any.
    std::exception_ptr toggleStartAtLogin();
    // Shown by the next update().
    void offerGnomeIntegration(bool offered) { gnomeIntegration = offered; }
    void update();

  private:
    // The mode in the "screens" setting; anything else means All Screens.
    ScreenMode screenMode() const;

    SettingsStoring& settings;
    StartAtLogin& startAtLogin;
    WallpaperPlaying& player;
    const PauseControl* pause;
    RecentWallpapers* recent;
    WallpaperRotation* rotation;
    WallpaperMemory* memory;
    std::unique_ptr<StatusItemShowing> statusItem;
    std::optional<std::string> currentTitle;
    bool isDownloading = false;
    bool gnomeIntegration = false;
    ProgressToolTip progress;
};

}  // namespace lumivo
