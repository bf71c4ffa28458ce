#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

namespace lumivo {

// Caps how often the wallpaper asks the window manager to restack it, so that
// a desktop program (or manager) that undoes each restack cannot drag the two
// into an endless exchange: at most `count` requests within any `span`, for
// each limit given; the request that would pass one starts a rest of `rest`
// without any.
class RestackBudget {
  public:
    using Clock = std::chrono::steady_clock;
    struct Limit {
        std::size_t count = 0;
        Clock::duration span{};
    };
    enum class Grant {
        Granted,  // send it
        CapHit,   // a limit was reached just now; a rest begins
        Resting,  // still resting
    };

    RestackBudget(std::vector<Limit> limits, Clock::duration rest);

    // Asks for one request at `now`; a granted one counts against the limits.
    Grant take(Clock::time_point now);
    // When the current rest ends; the past when there is none.
    Clock::time_point restEnds() const { return restUntil_; }

  private:
    std::vector<Limit> limits_;
    Clock::duration rest_;
    std::deque<Clock::time_point> sent_;  // within the longest span
    Clock::time_point restUntil_{};
};

}  // namespace lumivo
