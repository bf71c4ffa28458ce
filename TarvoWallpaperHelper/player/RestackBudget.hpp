#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace lumivo {

// Caps how often the wallpaper asks the window manager to restack it, so that
// a desktop program (or manager) that raises its own window again at once
// cannot drag the two into an endless exchange: at most `limit` requests
// within any `span`; the one after them starts a rest of `rest` without any.
class RestackBudget {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Grant {
        Granted,  // send it
        CapHit,   // the cap was reached just now; a rest begins
        Resting,  // still resting
    };

    RestackBudget(std::size_t limit, Clock::duration span, Clock::duration rest);

    // Asks for one request at `now`; a granted one counts against the cap.
    Grant take(Clock::time_point now);
    // When the current rest ends; the past when there is none.
    Clock::time_point restEnds() const { return restUntil_; }

  private:
    std::size_t limit_;
    Clock::duration span_;
    Clock::duration rest_;
    std::deque<Clock::time_point> sent_;
    Clock::time_point restUntil_{};
};

}  // namespace lumivo
