#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "BlockingWorker.hpp"
#include "LastWallpaper.hpp"
#include "SettingsStoring.hpp"
#include "WallpaperPlaying.hpp"
#include "WallpaperResolver.hpp"

namespace lumivo {

// Remembers the wallpaper that plays (LastWallpaper in the settings) and, at
// the next start, finds whether it may play again without a manifest or the
// network: a cached file only while it lies in the cache and still matches its
// digest, a checkout file only while the asset rules still lead to it.
class WallpaperMemory {
  public:
    using LogSink = std::function<void(const std::string& message)>;

    WallpaperMemory(SettingsStoring& settings, const WallpaperResolver& resolver, LogSink log)
        : settings_(settings), resolver_(resolver), log_(std::move(log)) {}

    // GUI thread, as the settings are.
    void remember(const ResolvedWallpaper& played);
    void forget();

    // Checks the remembered wallpaper's file on `worker`, then hands it to
    // `then` on `context`'s thread. A file that fails is logged in one line
    // ("Cannot restore <title>: ...") and forgotten; `then` gets nothing then,
    // and at once when nothing is remembered. GUI thread.
    void restore(BlockingWorker& worker, QObject* context,
                 std::function<void(const std::optional<LastWallpaper>&)> then);

    // Starts `last` on `player` and logs "Restored <title>"; a failure is
    // only logged, since nobody asked for this wallpaper just now. GUI thread.
    bool play(const LastWallpaper& last, WallpaperPlaying& player) const;

    // Why `last` cannot play again, as its log line; nothing when its file
    // passes. Blocking (a full digest of a cached file); never throws.
    std::optional<std::string> refusal(const LastWallpaper& last) const;

  private:
    SettingsStoring& settings_;
    const WallpaperResolver& resolver_;
    LogSink log_;
};

}  // namespace lumivo
