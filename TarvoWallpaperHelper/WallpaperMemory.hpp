#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "BlockingWorker.hpp"
#include "CacheUpkeep.hpp"
#include "LastWallpaper.hpp"
#include "RecentWallpapers.hpp"
#include "SettingsStoring.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperResolver.hpp"
#include "WallpaperRotation.hpp"

namespace lumivo {

// Remembers the wallpaper that plays (LastWallpaper in the settings) and, at
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
          recent_(settings, resolver.cacheRoot(), log_) {}

    // GUI thread, as the settings are. What is remembered also becomes the
    // newest of the recent wallpapers.
    void remember(const ResolvedWallpaper& played);
    void forget();

    using Restored = std::function<void(const std::optional<LastWallpaper>&)>;
    // Starts checking the remembered wallpaper's file on `worker` at once, so
    // that the check runs beside whatever the GUI thread does meanwhile, and
    // has `player` get ready for it.
    // Calling the returned function hands the wallpaper to its argument on
    // `context`'s thread once the check is done (at once when it is), or
    // nothing: when none is remembered, or when its file fails, which is then
    // logged in one line ("Cannot restore <title>: ...") and forgotten.
    // GUI thread.
    std::function<void(Restored)> restore(BlockingWorker& worker, QObject* context,
                                          WallpaperPlaying& player);

    // Starts `last` on `player` and logs "Restored <title>"; a failure is
    // only logged, since nobody asked for this wallpaper just now. GUI thread.
    bool play(const LastWallpaper& last, WallpaperPlaying& player);

    // Why `last` cannot play again, as its log line; nothing when its file
    // passes. Blocking (a full digest of a cached file); never throws.
    std::optional<std::string> refusal(const LastWallpaper& last) const;

    RecentWallpapers& recent() { return recent_; }

  private:
    SettingsStoring& settings_;
    const WallpaperResolver& resolver_;
    LogSink log_;
    CacheUpkeep* upkeep_;
    WallpaperRotation* rotation_;
    RecentWallpapers recent_;
};

}  // namespace lumivo
