#include "WallpaperMemory.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <system_error>
#include <tuple>
#include <utility>

#include "HelperError.hpp"

namespace lumivo {

void WallpaperMemory::remember(const ResolvedWallpaper& played,
                               const std::optional<std::string>& screen) {
    const LastWallpaper last = LastWallpaper::of(played);
    if (screen) {
        screens_.set(*screen, last);
    } else {
        last.save(settings_);
        screens_.clear();
    }
    recent_.add(last);
    if (upkeep_) {
        upkeep_->applied(played.video, played.fromCache, keptFiles());
    }
    if (rotation_) {
        rotation_->playing(played.id);
    }
}

std::optional<std::string> WallpaperMemory::play(const ResolvedWallpaper& played,
                                                 const std::optional<std::string>& screen,
                                                 WallpaperPlaying& player) {
    std::optional<std::string> landed = player.startOn(played.video, screen);
    remember(played, landed);
    return landed;
}

void WallpaperMemory::forget() {
    LastWallpaper::forget(settings_);
    screens_.clear();
    if (upkeep_) {
        upkeep_->keep({});
    }
    if (rotation_) {
        rotation_->stopped();
    }
}

std::optional<std::string> WallpaperMemory::playingEverywhere(const std::filesystem::path& video) {
    std::optional<LastWallpaper> kept;
    for (const auto& [screen, entry] : screens_.entries()) {
        if (entry.file == video) {
            kept = entry;
        }
    }
    screens_.clear();
    if (kept) {
        kept->save(settings_);
    }
    const std::optional<LastWallpaper> everywhere = kept ? kept : LastWallpaper::load(settings_);
    if (rotation_ && everywhere) {
        rotation_->playing(everywhere->id);
    }
    if (upkeep_) {
        upkeep_->keep(keptFiles());
    }
    return kept ? std::optional(kept->title) : std::nullopt;
}

std::optional<std::string> WallpaperMemory::playingLine(const std::vector<Monitor>& leftToRight,
                                                        const std::optional<std::string>& title) {
    return ScreenWallpapers::playingLine(leftToRight, screens_.entries(), title);
}

std::vector<std::filesystem::path> WallpaperMemory::keptFiles() {
    std::vector<std::filesystem::path> files;
    if (const std::optional<LastWallpaper> last = LastWallpaper::load(settings_)) {
        files.push_back(last->file);
    }
    for (const auto& [screen, entry] : screens_.entries()) {
        files.push_back(entry.file);
    }
    return files;
}

std::function<void(WallpaperMemory::Restored)> WallpaperMemory::restore(BlockingWorker& worker,
                                                                        QObject* context,
                                                                        WallpaperPlaying& player) {
    // Whichever comes second, the check's outcome or the caller, delivers.
    struct Pending {
        bool checked = false;
        std::optional<LastWallpaper> last;
        std::optional<std::string> refused;
        std::map<std::string, std::string> screensRefused;
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
        for (const auto& [screen, refusal] : pending->screensRefused) {
            log_(refusal);
            screens_.erase(screen);
        }
        then(pending->last);
    };
    pending->last = LastWallpaper::load(settings_);
    if (!pending->last) {
        pending->checked = true;
    } else {
        player.prepare();
        using Refusals = std::pair<std::optional<std::string>, std::map<std::string, std::string>>;
        worker.run(
            context,
            [this, last = *pending->last, screens = screens_.entries()] {
                Refusals refusals{refusal(last), {}};
                for (const auto& [screen, entry] : screens) {
                    if (std::optional<std::string> problem = entry.fileProblem(resolver_)) {
                        refusals.second[screen] =
                            "Cannot restore " + entry.title + " on " + screen + ": " + *problem;
                    }
                }
                return refusals;
            },
            [pending, deliver](const Outcome<Refusals>& checked) {
                pending->checked = true;
                if (checked.failed()) {
                    pending->refused = "Cannot restore " + pending->last->title + ".";
                } else {
                    std::tie(pending->refused, pending->screensRefused) = checked.value();
                }
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
    if (rotation_) {
        rotation_->playing(last.id);
    }
    if (player.screenMode() == ScreenMode::EachScreen) {
        playScreens(player);
    }
    if (upkeep_) {
        upkeep_->keep(keptFiles());
    }
    return true;
}

void WallpaperMemory::playScreens(WallpaperPlaying& player) {
    const std::vector<Monitor> shown = player.screens();
    for (const auto& [screen, entry] : screens_.entries()) {
        const bool there =
            std::any_of(shown.begin(), shown.end(),
                        [&name = screen](const Monitor& m) { return m.name == name; });
        if (!there) {
            log_("Skipped " + entry.title + " on " + screen + ": the screen is not connected");
            continue;
        }
        try {
            player.startOn(entry.file, screen);
        } catch (...) {
            log_("Cannot restore " + entry.title + " on " + screen + ": " +
                 localizedDescription(std::current_exception()));
            continue;
        }
        log_("Restored " + entry.title + " on " + screen);
        if (rotation_) {
            rotation_->playing(entry.id, screen);
        }
    }
}

std::optional<std::string> WallpaperMemory::refusal(const LastWallpaper& last) const {
    if (std::optional<std::string> problem = last.fileProblem(resolver_)) {
        return "Cannot restore " + last.title + ": " + *problem;
    }
    return std::nullopt;
}

}  // namespace lumivo
