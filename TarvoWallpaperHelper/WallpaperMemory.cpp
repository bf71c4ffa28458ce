#include "WallpaperMemory.hpp"

#include <memory>
#include <system_error>
#include <utility>

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

std::function<void(WallpaperMemory::Restored)> WallpaperMemory::restore(BlockingWorker& worker,
                                                                        QObject* context,
                                                                        WallpaperPlaying& player) {
    // Whichever comes second, the check's outcome or the caller, delivers.
    struct Pending {
        bool checked = false;
        std::optional<LastWallpaper> last;
        std::optional<std::string> refused;
        Restored then;
    };
    auto pending = std::make_shared<Pending>();
    auto deliver = [this, pending] {
        if (!pending->checked || !pending->then) {
            return;
        }
        const Restored then = std::exchange(pending->then, nullptr);
        if (pending->refused) {
            log_(*pending->refused);
            forget();
            return then(std::nullopt);
        }
        then(pending->last);
    };
    pending->last = LastWallpaper::load(settings_);
    if (!pending->last) {
        pending->checked = true;
    } else {
        player.prepare();
        worker.run(
            context, [this, last = *pending->last] { return refusal(last); },
            [pending, deliver](const Outcome<std::optional<std::string>>& checked) {
                pending->checked = true;
                pending->refused = checked.failed() ? "Cannot restore " + pending->last->title + "."
                                                    : checked.value();
                deliver();
            });
    }
    return [pending, deliver](Restored then) {
        pending->then = std::move(then);
        deliver();
    };
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
