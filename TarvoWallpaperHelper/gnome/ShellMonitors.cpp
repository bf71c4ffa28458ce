#include "ShellMonitors.hpp"

#include <algorithm>

namespace lumivo {

std::vector<bool> coveredByShell(const std::vector<Monitor>& shown,
                                 const std::vector<ShellMonitor>& reported) {
    std::vector<bool> covered;
    covered.reserve(shown.size());
    for (const Monitor& monitor : shown) {
        const auto match = std::find_if(reported.begin(), reported.end(), [&](const auto& r) {
            return r.geometry.x == monitor.geometry.x && r.geometry.y == monitor.geometry.y;
        });
        covered.push_back(match != reported.end() && match->covered);
    }
    return covered;
}

std::optional<std::string> monitorAt(const std::vector<Monitor>& monitors, const Rect& geometry) {
    for (const Monitor& monitor : monitors) {
        if (monitor.geometry.x == geometry.x && monitor.geometry.y == geometry.y) {
            return monitor.name;
        }
    }
    return std::nullopt;
}

}  // namespace lumivo
