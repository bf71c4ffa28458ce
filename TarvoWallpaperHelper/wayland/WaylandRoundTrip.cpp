#include "WaylandRoundTrip.hpp"

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "WaylandProxy.hpp"

namespace lumivo {

bool waylandRoundTrip(wl_display* display, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool done = false;
    static const wl_callback_listener listener = {
        .done = [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; },
    };
    WaylandProxy<wl_callback> sync(wl_display_sync(display));
    wl_callback_add_listener(sync.get(), &listener, &done);
    while (!done) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return false;
            }
        }
        if (done) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return false;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fd = {wl_display_get_fd(display), POLLIN, 0};
        int ready = left.count() > 0 ? poll(&fd, 1, static_cast<int>(left.count())) : 0;
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace lumivo
