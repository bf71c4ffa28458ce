#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Monitor.hpp"
#include "ScreenMode.hpp"

namespace lumivo {

// A picture the renderer draws once per video frame: the whole video,
// aspect-filled to this size (cropped to the canvas, never stretched or
// letter-boxed).
struct Canvas {
    int width = 0;
    int height = 0;
    bool operator==(const Canvas&) const = default;
};

// What one monitor shows: the part `source` of canvas `canvas`, pixel for pixel.
struct Placement {
    std::size_t monitor = 0;  // index into the monitors laid out
    std::size_t canvas = 0;   // index into ScreenLayout::canvases
    Rect source;              // within the canvas; its size is the monitor's
    bool operator==(const Placement&) const = default;
};

// Which canvases to draw and which monitor shows what of them. Monitors that
// show nothing have no placement.
struct ScreenLayout {
    std::vector<Canvas> canvases;
    std::vector<Placement> placements;
    bool operator==(const ScreenLayout&) const = default;
};

// Lays the video out over `monitors` in `mode`. Monitors of equal size share
// one canvas in AllScreens, so a frame is scaled once per distinct size; in
// SpanAcrossScreens one canvas covers the monitors' bounding box; in
// MainScreenOnly only the primary monitor (else the first) shows the video;
// EachScreen lays one video out as AllScreens does (each video has a layout
// of its own, see VideoLayout). Monitors without area are left out. Pure; no
// monitors give an empty layout.
ScreenLayout layoutScreens(ScreenMode mode, const std::vector<Monitor>& monitors);

// The index of the monitor a wallpaper for one screen lands on: the one named
// `focused`, else (no name, or a monitor that is gone) the primary one, else
// the first. Monitors without area never count; none at all give nothing.
std::optional<std::size_t> chooseScreen(const std::vector<Monitor>& monitors,
                                        const std::optional<std::string>& focused);

// The centred part of a `sourceWidth` x `sourceHeight` picture that fills a
// `width` x `height` target at one scale: the whole height or the whole width,
// the overflow cut evenly on both sides. Empty when either size is.
Rect aspectFillCrop(int sourceWidth, int sourceHeight, int width, int height);

}  // namespace lumivo
