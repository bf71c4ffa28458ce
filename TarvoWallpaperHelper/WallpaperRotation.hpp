#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LastWallpaper.hpp"
#include "PauseControl.hpp"
#include "RecentWallpapers.hpp"
#include "SettingsStoring.hpp"
#include "WallpaperPlaying.hpp"

namespace lumivo {

// "Change Every": every "rotateMinutes" minutes (absent or 0: never; any
// positive whole number counts) the wallpaper moves on to the next of the
// Recent Wallpapers in turn, the one applied longest ago, so that each has its
// turn; only entries whose file is there count, since a change never
// downloads. One single-shot timer runs to the next change while a wallpaper
// plays, and nothing else: no wake-ups between changes. A change due while the
// wallpaper rests (PauseControl) waits a whole period more. In each-screen
// mode every screen moves on at each change, each to a different entry where
// the list has enough. GUI thread.
class WallpaperRotation {
  public:
    // `screen`: the monitor to play it on in each-screen mode; none: as an
    // apply from the gallery.
    using Apply =
        std::function<void(const LastWallpaper& next, const std::optional<std::string>& screen)>;
    using LogSink = std::function<void(const std::string& message)>;

    static constexpr const char* minutesKey = "rotateMinutes";

    // `recent`, `pause` and `player` (both may be null) must outlive it;
    // `apply` carries a change out as the choice of a Recent Wallpapers entry
    // would.
    WallpaperRotation(SettingsStoring& settings, RecentWallpapers& recent,
                      const PauseControl* pause, Apply apply, LogSink log,
                      const WallpaperPlaying* player = nullptr);

    // The wallpaper `id` plays from now on (applied or restored), on the
    // monitor named `screen` or everywhere: the next change comes a whole
    // period later.
    void playing(const std::string& id, const std::optional<std::string>& screen = std::nullopt);
    // Nothing plays: no change comes.
    void stopped();

    // The period in minutes; 0 for never. A setting that is not a whole
    // number of minutes is logged once and counts as never.
    std::int64_t minutes() const;
    // Stores the period (0: never, which removes the setting) and counts it
    // from now.
    void setMinutes(std::int64_t minutes);

    // The entry a change moves to while `playing` plays: the one applied
    // longest ago among the others whose file is there (`hasFile`); none when
    // there is no such one.
    static std::optional<LastWallpaper> next(
        const std::vector<LastWallpaper>& recent, const std::string& playing,
        const std::function<bool(const LastWallpaper&)>& hasFile);
    // The entries a change moves the screens to, where `playing` lists the
    // id each screen shows, in screen order: for each, the one applied
    // longest ago among those with a file that no screen shows now and no
    // screen before it moves to; when none is left, its own next().
    static std::vector<std::pair<std::string, LastWallpaper>> nextPerScreen(
        const std::vector<LastWallpaper>& recent,
        const std::vector<std::pair<std::string, std::string>>& playing,
        const std::function<bool(const LastWallpaper&)>& hasFile);

  private:
    void arm(std::chrono::milliseconds wait);
    void schedule();
    void fire();

    SettingsStoring& settings_;
    RecentWallpapers& recent_;
    const PauseControl* pause_;
    Apply apply_;
    LogSink log_;
    QTimer timer_;
    const WallpaperPlaying* player_;
    std::optional<std::string> playing_;
    std::map<std::string, std::string> screens_;  // the screens' own ids, by name
    // When the change is due; the timer may ring earlier for a long period.
    std::chrono::steady_clock::time_point due_;
    mutable std::optional<std::string> loggedSetting_;
};

}  // namespace lumivo
