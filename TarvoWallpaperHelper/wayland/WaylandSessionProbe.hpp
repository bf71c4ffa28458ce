#pragma once

#include <optional>
#include <string>

#include "WaylandSessionInfo.hpp"

namespace lumivo {

// Asks a compositor what it offers, over a connection of its own (never the
// one of Qt's platform plugin), closed again before returning. Blocks for the
// round trips only; a compositor that does not answer within `timeoutMs`
// counts as absent.
class WaylandSessionProbe {
  public:
    // `display` as for wl_display_connect: a socket name or absolute path, or
    // nullopt for WAYLAND_DISPLAY. nullopt when no compositor answers.
    static std::optional<WaylandSessionInfo> probe(
        const std::optional<std::string>& display = std::nullopt, int timeoutMs = 2000);
};

}  // namespace lumivo
