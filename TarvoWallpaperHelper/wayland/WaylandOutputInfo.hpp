#pragma once

#include <cstdint>
#include <string>

namespace lumivo {

// One wl_output as the compositor last described it. Sizes are in pixels of
// the current mode and in the logical units the compositor lays outputs in.
struct WaylandOutputInfo {
    uint32_t globalName = 0;  // the registry's name for the global
    std::string name;         // "HEADLESS-1", "DP-2"; empty until told
    int x = 0, y = 0;         // logical position
    int logicalWidth = 0, logicalHeight = 0;
    int modeWidth = 0, modeHeight = 0;
    int scale = 1;

    bool described() const { return logicalWidth > 0 && logicalHeight > 0; }
};

}  // namespace lumivo
