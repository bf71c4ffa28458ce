#pragma once

#include <string>

namespace lumivo {

// A rectangle in pixels; monitors use global desktop coordinates.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const Rect&) const = default;
};

// One monitor as a display backend reports it.
struct Monitor {
    std::string name;
    Rect geometry;
    bool primary = false;
    bool operator==(const Monitor&) const = default;
};

}  // namespace lumivo
