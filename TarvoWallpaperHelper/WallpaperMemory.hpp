#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "BlockingWorker.hpp"
#include "CacheUpkeep.hpp"
#include "LastWallpaper.hpp"
#include "RecentWallpapers.hpp"
#include "ScreenWallpapers.hpp"
#include "SettingsStoring.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperResolver.hpp"
#include "WallpaperRotation.hpp"

namespace lumivo {

// Remembers the wallpaper that plays (LastWallpaper in the settings), and in
// each-screen mode the screens' own (ScreenWallpapers), and, at
// the next start, finds whether it may play again without a manifest or the
// network: a cached file only while it lies in the cache and still matches its
// digest, a checkout file only while the asset rules still lead to it.
// Tells `upkeep`, when given, which file to keep in the cache for that, and
// `rotation`, when given, what plays.
class WallpaperMemory {
  public:
    using LogSink = std::function<void(const std::string& message)>;

    WallpaperMemory(SettingsStoring& settings, const WallpaperResolver& resolver, LogSink log,
                    CacheUpkeep* upkeep = nullptr, WallpaperRotation* rotation = nullptr)
        : settings_(settings),
          resolver_(resolver),
          log_(std::move(log)),
          upkeep_(upkeep),
          rotation_(rotation),
          recent_(settings, resolver.cacheRoot(), log_),
          screens_(settings, resolver.cacheRoot(), log_) {}

    // GUI thread, as the settings are. `played` plays on the monitor named
    // `screen` alone, or with none everywhere (and no screen keeps one of its
    // own). What is remembered also becomes the newest of the recent
    // wallpapers.
    void remember(const ResolvedWallpaper& played,
                  const std::optional<std::string>& screen = std::nullopt);
    void forget();
    // Plays what an apply resolved on `player` (startOn: in each-screen mode
    // the monitor named `screen`, with none the one the user looks at) and
    // remembers it; returns the monitor it landed on, none when everywhere.
    // Throws as WallpaperPlaying::start() does, remembering nothing then.
    std::optional<std::string> play(const ResolvedWallpaper& played,
                                    const std::optional<std::string>& screen,
                                    WallpaperPlaying& player);
    // Each-screen mode ended with `video` playing everywhere: the screen's
    // own wallpaper that played it is remembered as the one for every
    // screen, and the screens' own are forgotten. Returns its title, if
    // a screen's own played it.
    std::optional<std::string> playingEverywhere(const std::filesystem::path& video);
    // The menu's first line for what plays on `leftToRight`, where the
    // screens without their own show `title` (ScreenWallpapers::playingLine).
    std::optional<std::string> playingLine(const std::vector<Monitor>& leftToRight,
                                           const std::optional<std::string>& title);

    using Restored = std::function<void(const std::optional<LastWallpaper>&)>;
    // Starts checking the remembered wallpaper's file on `worker` at once, so
    // that the check runs beside whatever the GUI thread does meanwhile, and
    // has `player` get ready for it.
    // Calling the returned function hands the wallpaper to its argument on
    // `context`'s thread once the check is done (at once when it is), or
    // nothing: when none is remembered, or when its file fails, which is then
    // logged in one line ("Cannot restore <title>: ...") and forgotten. The
    // screens' own are checked beside it; one that fails is logged the same
    // way ("Cannot restore <title> on <screen>: ...") and forgotten.
    // GUI thread.
    std::function<void(Restored)> restore(BlockingWorker& worker, QObject* context,
                                          WallpaperPlaying& player);

    // Starts `last` on `player` and logs "Restored <title>"; a failure is
    // only logged, since nobody asked for this wallpaper just now. In
    // each-screen mode then the screens' own wallpapers that passed their
    // checks, "Restored <title> on <screen>" each; one whose screen is not
    // there is skipped ("Skipped <title> on <screen>: the screen is not
    // connected") and kept for a later login. GUI thread.
    bool play(const LastWallpaper& last, WallpaperPlaying& player);

    // Why `last` cannot play again, as its log line; nothing when its file
    // passes. Blocking (a full digest of a cached file); never throws.
    std::optional<std::string> refusal(const LastWallpaper& last) const;

    RecentWallpapers& recent() { return recent_; }
    ScreenWallpapers& screens() { return screens_; }

  private:
    // The files that play or that the next login restores.
    std::vector<std::filesystem::path> keptFiles();
    void playScreens(WallpaperPlaying& player);

    SettingsStoring& settings_;
    const WallpaperResolver& resolver_;
    LogSink log_;
    CacheUpkeep* upkeep_;
    WallpaperRotation* rotation_;
    RecentWallpapers recent_;
    ScreenWallpapers screens_;
};

}  // namespace lumivo
