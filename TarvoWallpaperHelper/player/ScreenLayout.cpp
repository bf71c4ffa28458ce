#include "ScreenLayout.hpp"

#include <algorithm>
#include <optional>

namespace lumivo {
namespace {

ScreenLayout allScreens(const std::vector<Monitor>& monitors) {
    ScreenLayout layout;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Rect& g = monitors[i].geometry;
        if (g.empty()) {
            continue;
        }
        const Canvas size{g.width, g.height};
        auto same = std::find(layout.canvases.begin(), layout.canvases.end(), size);
        if (same == layout.canvases.end()) {
            same = layout.canvases.insert(layout.canvases.end(), size);
        }
        layout.placements.push_back({i,
                                     static_cast<std::size_t>(same - layout.canvases.begin()),
                                     {0, 0, g.width, g.height}});
    }
    return layout;
}

ScreenLayout spanAcrossScreens(const std::vector<Monitor>& monitors) {
    ScreenLayout layout;
    bool any = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    for (const auto& m : monitors) {
        const Rect& g = m.geometry;
        if (g.empty()) {
            continue;
        }
        left = any ? std::min(left, g.x) : g.x;
        top = any ? std::min(top, g.y) : g.y;
        right = any ? std::max(right, g.x + g.width) : g.x + g.width;
        bottom = any ? std::max(bottom, g.y + g.height) : g.y + g.height;
        any = true;
    }
    if (!any) {
        return layout;
    }
    layout.canvases.push_back({right - left, bottom - top});
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Rect& g = monitors[i].geometry;
        if (!g.empty()) {
            layout.placements.push_back({i, 0, {g.x - left, g.y - top, g.width, g.height}});
        }
    }
    return layout;
}

std::optional<std::size_t> mainScreen(const std::vector<Monitor>& monitors) {
    std::optional<std::size_t> main;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].geometry.empty()) {
            continue;
        }
        if (!main || (monitors[i].primary && !monitors[*main].primary)) {
            main = i;
        }
    }
    return main;
}

ScreenLayout mainScreenOnly(const std::vector<Monitor>& monitors) {
    const std::optional<std::size_t> main = mainScreen(monitors);
    if (!main) {
        return {};
    }
    const Rect& g = monitors[*main].geometry;
    return {{{g.width, g.height}}, {{*main, 0, {0, 0, g.width, g.height}}}};
}

}  // namespace

Rect aspectFillCrop(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) {
        return {};
    }
    // Compare the aspects exactly, in 64-bit cross products.
    const long long wide = static_cast<long long>(sourceWidth) * height;
    const long long tall = static_cast<long long>(width) * sourceHeight;
    if (wide > tall) {  // the source is wider: cut left and right
        const int w = static_cast<int>((tall + height / 2) / height);
        return {(sourceWidth - w) / 2, 0, w, sourceHeight};
    }
    const int h = static_cast<int>((wide + width / 2) / width);
    return {0, (sourceHeight - h) / 2, sourceWidth, h};
}

ScreenLayout layoutScreens(ScreenMode mode, const std::vector<Monitor>& monitors) {
    switch (mode) {
        case ScreenMode::SpanAcrossScreens:
            return spanAcrossScreens(monitors);
        case ScreenMode::MainScreenOnly:
            return mainScreenOnly(monitors);
        case ScreenMode::AllScreens:
        case ScreenMode::EachScreen:
            break;
    }
    return allScreens(monitors);
}

std::optional<std::size_t> chooseScreen(const std::vector<Monitor>& monitors,
                                        const std::optional<std::string>& focused) {
    if (focused) {
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            if (monitors[i].name == *focused && !monitors[i].geometry.empty()) {
                return i;
            }
        }
    }
    return mainScreen(monitors);
}

}  // namespace lumivo
