#include "RestackBudget.hpp"

#include <algorithm>

namespace lumivo {

RestackBudget::RestackBudget(std::vector<Limit> limits, Clock::duration rest)
    : limits_(std::move(limits)), rest_(rest) {}

RestackBudget::Grant RestackBudget::take(Clock::time_point now) {
    if (now < restUntil_) {
        return Grant::Resting;
    }
    Clock::duration longest{};
    for (const Limit& limit : limits_) {
        longest = std::max(longest, limit.span);
    }
    while (!sent_.empty() && sent_.front() <= now - longest) {
        sent_.pop_front();
    }
    for (const Limit& limit : limits_) {
        const auto recent = std::count_if(
            sent_.begin(), sent_.end(), [&](Clock::time_point t) { return t > now - limit.span; });
        if (static_cast<std::size_t>(recent) >= limit.count) {
            restUntil_ = now + rest_;
            return Grant::CapHit;
        }
    }
    sent_.push_back(now);
    return Grant::Granted;
}

}  // namespace lumivo
