#pragma once

#include <string>

#include "Rect.hpp"

namespace lumivo {

// One monitor as a display backend reports it.
struct Monitor {
    std::string name;
    Rect geometry;
    bool primary = false;
    bool operator==(const Monitor&) const = default;
};

}  // namespace lumivo
