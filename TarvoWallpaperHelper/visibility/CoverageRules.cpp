#include "CoverageRules.hpp"

#include <algorithm>
#include <cstddef>

namespace lumivo {
namespace {

int64_t overlapArea(const Rect& a, const Rect& b) {
    const int64_t w =
        std::min<int64_t>(int64_t{a.x} + a.width, int64_t{b.x} + b.width) - std::max(a.x, b.x);
    const int64_t h =
        std::min<int64_t>(int64_t{a.y} + a.height, int64_t{b.y} + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

bool covers(const Rect& outer, const Rect& inner) {
    return outer.x <= inner.x && outer.y <= inner.y &&
           int64_t{outer.x} + outer.width >= int64_t{inner.x} + inner.width &&
           int64_t{outer.y} + outer.height >= int64_t{inner.y} + inner.height;
}

bool counts(const ClientWindow& w, std::optional<uint32_t> currentDesktop) {
    const bool onCurrent = !w.desktop || !currentDesktop || *w.desktop == *currentDesktop;
    return w.mapped && !w.minimised && !w.shaded && !w.ignored && onCurrent;
}

// The monitor a fullscreen or maximised window fills: the one it overlaps
// most, the first of equals; none when it overlaps none.
std::optional<size_t> homeMonitor(const std::vector<Rect>& monitors, const Rect& r) {
    std::optional<size_t> best;
    int64_t bestArea = 0;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const int64_t area = overlapArea(monitors[i], r);
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

}  // namespace

std::vector<bool> hiddenMonitors(const std::vector<Rect>& monitors,
                                 const std::vector<ClientWindow>& windows,
                                 std::optional<uint32_t> currentDesktop) {
    std::vector<bool> hidden(monitors.size(), false);
    for (const ClientWindow& w : windows) {
        if (!counts(w, currentDesktop)) {
            continue;
        }
        for (size_t i = 0; i < monitors.size(); ++i) {
            hidden[i] = hidden[i] || covers(w.frame, monitors[i]);
        }
        // A maximised window leaves panels and docks uncovered, yet it fills
        // the desktop of its monitor.
        if (w.fullscreen || (w.maximisedVert && w.maximisedHorz)) {
            if (const auto home = homeMonitor(monitors, w.frame)) {
                hidden[*home] = true;
            }
        }
    }
    return hidden;
}

}  // namespace lumivo
