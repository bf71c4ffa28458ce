#include "DesktopStackKeeper.hpp"

#include <algorithm>
#include <utility>

namespace lumivo {
namespace {

std::string programName(const DesktopCover& cover) {
    return cover.program.empty() ? std::string("the desktop program") : cover.program;
}

const StackedWindow* find(const StackingScene& scene, std::uint32_t id) {
    for (const StackedWindow& w : scene.stack) {
        if (w.id == id) {
            return &w;
        }
    }
    return nullptr;
}

void wakeNoLaterThan(DesktopStackKeeper::Step& step, DesktopStackKeeper::Clock::time_point at) {
    if (!step.wakeAt || at < *step.wakeAt) {
        step.wakeAt = at;
    }
}

}  // namespace

DesktopStackKeeper::DesktopStackKeeper(bool restackSupported)
    : restackSupported_(restackSupported),
      budget_({{kRequestsPerSecond, std::chrono::seconds(1)},
               {kRequestsPerMinute, std::chrono::minutes(1)}},
              kRest) {}

DesktopStackKeeper::Step DesktopStackKeeper::update(const StackingScene& scene,
                                                    const std::vector<std::uint32_t>& own,
                                                    Clock::time_point now) {
    Step step;
    const std::vector<DesktopCover> covers = findDesktopCovers(scene, own);
    std::set<std::uint32_t> placed;
    for (const DesktopCover& cover : covers) {
        placed.insert(cover.own);
        if (cover.side == StackSide::Above) {
            noteOnce(cover, step);
        }
        if (coverSatisfied(scene, cover)) {
            attempts_.erase(cover.own);
            if (cover.side == StackSide::Below && settledBelow_.insert(cover.own).second) {
                step.sortCompositor = true;
            }
            continue;
        }
        settledBelow_.erase(cover.own);
        Method method = firstMethod(scene, cover);
        const auto previous = attempts_.find(cover.own);
        if (previous != attempts_.end() && previous->second.cover == cover.cover &&
            previous->second.side == cover.side) {
            const Attempt& last = previous->second;
            if (now < last.sentAt + kSettle) {
                // The manager has not answered yet; asking again would only
                // add to its queue.
                wakeNoLaterThan(step, last.sentAt + kSettle);
                continue;
            }
            // It ignored the last request: activation raises where a restack
            // is refused, unless that would take the focus from a window (it
            // never lowers).
            if (cover.side == StackSide::Above && last.method != Method::Activate &&
                mayActivate(scene)) {
                method = Method::Activate;
            }
        }
        switch (budget_.take(now)) {
            case RestackBudget::Grant::Granted:
                break;
            case RestackBudget::Grant::CapHit:
                if (!std::exchange(capNoted_, true)) {
                    step.notes.push_back(
                        "The desktop window of " + programName(cover) +
                        " keeps undoing the wallpaper's restacks; they pause for " +
                        std::to_string(
                            std::chrono::duration_cast<std::chrono::seconds>(kRest).count()) +
                        " s whenever there were " + std::to_string(kRequestsPerSecond) +
                        " within a second or " + std::to_string(kRequestsPerMinute) +
                        " within a minute");
                }
                [[fallthrough]];
            case RestackBudget::Grant::Resting:
                attempts_.erase(cover.own);
                wakeNoLaterThan(step, budget_.restEnds());
                continue;
        }
        step.requests.push_back({method, cover.own, cover.cover, cover.side});
        attempts_[cover.own] = {cover.cover, cover.side, method, now};
        wakeNoLaterThan(step, now + kSettle);
    }
    // Windows that no longer have a desktop window to mind.
    std::erase_if(attempts_, [&](const auto& entry) { return !placed.contains(entry.first); });
    std::erase_if(settledBelow_, [&](std::uint32_t id) { return !placed.contains(id); });
    return step;
}

DesktopStackKeeper::Method DesktopStackKeeper::firstMethod(const StackingScene& scene,
                                                           const DesktopCover& cover) const {
    // A manager that raised a desktop window because it took the focus
    // refuses to lower it under another one while it keeps the focus; it
    // still raises a window it is asked to activate.
    if (cover.side == StackSide::Above && scene.active == cover.cover && mayActivate(scene)) {
        return Method::Activate;
    }
    return restackSupported_ ? Method::Restack : Method::Configure;
}

// Activation asks the manager to focus the wallpaper's window, which takes no
// input: the manager leaves the focus where it is, or with nobody. That is
// harmless while no ordinary window has it.
bool DesktopStackKeeper::mayActivate(const StackingScene& scene) const {
    if (!scene.active) {
        return true;
    }
    const StackedWindow* focused = find(scene, *scene.active);
    return focused == nullptr || focused->desktop;
}

void DesktopStackKeeper::noteOnce(const DesktopCover& cover, Step& step) {
    if (notedPrograms_.insert(cover.program).second) {
        step.notes.push_back("The wallpaper is shown above the desktop window of " +
                             programName(cover) +
                             ", which is opaque: its desktop icons are under the video");
    }
}

}  // namespace lumivo
