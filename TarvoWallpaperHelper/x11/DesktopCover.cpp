#include "DesktopCover.hpp"

#include <algorithm>
#include <cstddef>

namespace lumivo {
namespace {

// Plasma draws its desktop in a window of its own too, but its backend hands
// the frames to the Plasma wallpaper instead: stacking over it would fight
// plasmashell for nothing.
constexpr const char* kPlasmaShell = "plasmashell";

std::int64_t overlapArea(const Rect& a, const Rect& b) {
    const std::int64_t w =
        std::min<std::int64_t>(std::int64_t{a.x} + a.width, std::int64_t{b.x} + b.width) -
        std::max(a.x, b.x);
    const std::int64_t h =
        std::min<std::int64_t>(std::int64_t{a.y} + a.height, std::int64_t{b.y} + b.height) -
        std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

std::optional<std::size_t> indexOf(const StackingScene& scene, std::uint32_t id) {
    for (std::size_t i = 0; i < scene.stack.size(); ++i) {
        if (scene.stack[i].id == id) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<DesktopCover> findDesktopCovers(const StackingScene& scene,
                                            const std::vector<std::uint32_t>& own) {
    std::vector<DesktopCover> covers;
    for (std::uint32_t id : own) {
        const auto at = indexOf(scene, id);
        if (!at) {
            continue;  // not managed yet, or gone
        }
        const Rect& mine = scene.stack[*at].frame;
        const StackedWindow* best = nullptr;
        std::int64_t bestArea = 0;
        for (const StackedWindow& w : scene.stack) {  // bottom first: the later of equals wins
            if (!w.desktop || w.program == kPlasmaShell ||
                std::find(own.begin(), own.end(), w.id) != own.end()) {
                continue;
            }
            const std::int64_t area = overlapArea(w.frame, mine);
            if (area > 0 && area >= bestArea) {
                best = &w;
                bestArea = area;
            }
        }
        if (best != nullptr) {
            covers.push_back({id, best->id, best->seeThrough ? StackSide::Below : StackSide::Above,
                              best->program});
        }
    }
    return covers;
}

bool coverSatisfied(const StackingScene& scene, const DesktopCover& cover) {
    const auto own = indexOf(scene, cover.own);
    const auto other = indexOf(scene, cover.cover);
    if (!own || !other) {
        return true;  // nothing to stack against
    }
    return cover.side == StackSide::Above ? *own > *other : *own < *other;
}

}  // namespace lumivo
