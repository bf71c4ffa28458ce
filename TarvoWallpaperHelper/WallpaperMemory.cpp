#include "WallpaperMemory.hpp"

#include <memory>
#include <system_error>
#include <utility>

#include "HelperError.hpp"

namespace lumivo {

void WallpaperMemory::remember(const ResolvedWallpaper& played) {
    const LastWallpaper last = LastWallpaper::of(played);
    last.save(settings_);
    recent_.add(last);
    if (upkeep_) {
        upkeep_->applied(played.video, played.fromCache);
    }
    if (rotation_) {
        rotation_->playing(played.id);
    }
}

void WallpaperMemory::forget() {
    LastWallpaper::forget(settings_);
    if (upkeep_) {
        upkeep_->keep({});
    }
    if (rotation_) {
        rotation_->stopped();
    }
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

bool WallpaperMemory::play(const LastWallpaper& last, WallpaperPlaying& player) {
    try {
        player.start(last.file);
    } catch (...) {
        log_("Cannot restore " + last.title + ": " +
             localizedDescription(std::current_exception()));
        return false;
    }
    log_("Restored " + last.title);
    if (upkeep_) {
        upkeep_->keep({last.file});
    }
    if (rotation_) {
        rotation_->playing(last.id);
    }
    return true;
}

std::optional<std::string> WallpaperMemory::refusal(const LastWallpaper& last) const {
    if (std::optional<std::string> problem = last.fileProblem(resolver_)) {
        return "Cannot restore " + last.title + ": " + *problem;
    }
    return std::nullopt;
}

}  // namespace lumivo
