#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "PauseDecision.hpp"
#include "SessionState.hpp"
#include "SettingsStoring.hpp"
#include "WallpaperPlayer.hpp"
#include "X11ScreenSaver.hpp"

namespace lumivo {

// Rests the wallpaper while nobody can see it or the user asked: pauses the
// player's decode while every monitor it plays on is hidden, the screen is
// locked, the screensaver runs, the X server's screen saver blanks the screen,
// the system is about to sleep, the machine is on battery (unless the
// "pauseOnBattery" setting is false; absent means true) or "Pause Wallpaper" is
// checked, and logs each change ("Paused: <reason>", "Resumed"). After a sleep
// the picture is rendered anew, paused or not. The manual pause ends with the
// wallpaper: a new one, or a stop. Nothing is logged while idle. GUI thread
// only; `player` and `settings` must outlive it.
class PauseControl : public QObject {
    Q_OBJECT

  public:
    // Receives whole log lines, their prefix included.
    using LogLine = std::function<void(const std::string&)>;

    PauseControl(WallpaperPlayer& player, const SettingsStoring& settings, LogLine log);
    ~PauseControl() override;

    // Starts following the lock, screensaver, sleep and power state on these
    // buses, and the X server's blanking on $DISPLAY if there is one (once;
    // later calls do nothing).
    void followSession(QDBusConnection sessionBus, QDBusConnection systemBus);

    // "Pause Wallpaper": checked while the user pauses the current wallpaper;
    // stays unchecked while idle.
    bool manual() const { return manual_; }
    void setManual(bool paused);
    // Whether the wallpaper rests now, for whatever reason.
    bool resting() const { return told_.value_or(false); }

  private:
    void onStarted();
    void onStopped();
    bool pauseOnBattery() const;
    void decide();

    WallpaperPlayer& player_;
    const SettingsStoring& settings_;
    LogLine log_;
    std::unique_ptr<SessionState> session_;
    std::unique_ptr<X11ScreenSaver> blanking_;
    PauseDecision decision_;
    bool manual_ = false;
    // What the player was last told for the current wallpaper.
    std::optional<bool> told_;
};

}  // namespace lumivo
