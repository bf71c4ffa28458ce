#include "WallpaperMemory.hpp"

#include <system_error>

#include "HelperError.hpp"

namespace lumivo {

void WallpaperMemory::remember(const ResolvedWallpaper& played) {
    LastWallpaper last{played.id,    played.title, played.video,
                       std::nullopt, std::nullopt, std::nullopt};
    if (played.fromCache) {
        last.sha256 = played.sha256;
        last.bytes = played.bytes;
    } else {
        last.videoUrl = played.videoUrl;
    }
    last.save(settings_);
}

void WallpaperMemory::forget() {
    LastWallpaper::forget(settings_);
}

void WallpaperMemory::restore(BlockingWorker& worker, QObject* context,
                              std::function<void(const std::optional<LastWallpaper>&)> then) {
    std::optional<LastWallpaper> last = LastWallpaper::load(settings_);
    if (!last) {
        return then(std::nullopt);
    }
    worker.run(
        context, [this, last = *last] { return refusal(last); },
        [this, last = *last,
         then = std::move(then)](const Outcome<std::optional<std::string>>& checked) {
            const std::optional<std::string> refused =
                checked.failed() ? "Cannot restore " + last.title + "." : checked.value();
            if (refused) {
                log_(*refused);
                forget();
                return then(std::nullopt);
            }
            then(last);
        });
}

bool WallpaperMemory::play(const LastWallpaper& last, WallpaperPlaying& player) const {
    try {
        player.start(last.file);
    } catch (...) {
        log_("Cannot restore " + last.title + ": " +
             localizedDescription(std::current_exception()));
        return false;
    }
    log_("Restored " + last.title);
    return true;
}

std::optional<std::string> WallpaperMemory::refusal(const LastWallpaper& last) const {
    const std::string cannot = "Cannot restore " + last.title + ": " + last.file.string();
    std::error_code error;
    if (!std::filesystem::exists(last.file, error)) {
        return cannot + " is gone.";
    }
    if (last.sha256 && last.bytes) {
        if (!resolver_.isCachedCopy(last.file, *last.sha256)) {
            return cannot + " is not a valid cached copy.";
        }
        return std::nullopt;
    }
    const std::optional<Url> url = last.videoUrl ? Url::parse(*last.videoUrl) : std::nullopt;
    if (!url || resolver_.checkoutFile(*url) != last.file) {
        return cannot + " is no longer the checkout's file for its video URL.";
    }
    return std::nullopt;
}

}  // namespace lumivo
