#pragma once

namespace lumivo {

// A rectangle in pixels; monitors and windows use global desktop (root
// window) coordinates.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const Rect&) const = default;
};

}  // namespace lumivo
