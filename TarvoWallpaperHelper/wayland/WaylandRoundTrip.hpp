#pragma once

#include <wayland-client.h>

namespace lumivo {

// Waits until the compositor has handled every request sent so far, and
// dispatches the events it sent meanwhile. False when the connection fails or
// no answer comes within `timeoutMs`; unlike wl_display_roundtrip, a silent
// compositor cannot hang the caller.
bool waylandRoundTrip(wl_display* display, int timeoutMs);

}  // namespace lumivo
