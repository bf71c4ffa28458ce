#include "PauseDecision.hpp"

#include <algorithm>

namespace lumivo {

std::optional<std::string> PauseDecision::reasonFor(const PauseInputs& in) {
    // The user's own choice first, then the session, then the desktop.
    if (in.manual) {
        return "by the user";
    }
    if (in.suspending) {
        return "system suspending";
    }
    if (in.locked) {
        return "screen locked";
    }
    if (in.screensaverActive) {
        return "screensaver active";
    }
    if (in.blanked) {
        return "screen blanked";
    }
    if (in.onBattery && in.pauseOnBattery) {
        return "on battery";
    }
    const auto& hidden = in.outputsHidden;
    if (!hidden.empty() && std::all_of(hidden.begin(), hidden.end(), [](bool h) { return h; })) {
        return "desktop covered";
    }
    return std::nullopt;
}

std::optional<std::string> PauseDecision::update(const PauseInputs& inputs) {
    std::optional<std::string> reason = reasonFor(inputs);
    const bool wasPaused = paused();
    reason_ = std::move(reason);
    if (paused() == wasPaused) {
        return std::nullopt;
    }
    return paused() ? "[LumivoHelper] Paused: " + *reason_ : "[LumivoHelper] Resumed";
}

}  // namespace lumivo
