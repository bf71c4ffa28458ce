#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Monitor.hpp"

namespace lumivo {

// One monitor as GNOME Shell's extension reports it: its logical rectangle,
// and whether windows, the lock screen or a blank screen hide it.
struct ShellMonitor {
    Rect geometry;
    bool covered = false;
    bool operator==(const ShellMonitor&) const = default;
};

// Whether the Shell reports each of `shown` as covered, in their order. A
// monitor is matched by its top left corner, which the Shell and the helper
// both place in the desktop's logical layout (sizes differ under scaling);
// one the Shell does not report counts as visible.
std::vector<bool> coveredByShell(const std::vector<Monitor>& shown,
                                 const std::vector<ShellMonitor>& reported);

// The name of the monitor of `monitors` that the Shell reports at `geometry`,
// matched by its top left corner as above; absent when none lies there.
std::optional<std::string> monitorAt(const std::vector<Monitor>& monitors, const Rect& geometry);

}  // namespace lumivo
