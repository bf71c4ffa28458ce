#include "RestackBudget.hpp"

namespace lumivo {

RestackBudget::RestackBudget(std::size_t limit, Clock::duration span, Clock::duration rest)
    : limit_(limit), span_(span), rest_(rest) {}

RestackBudget::Grant RestackBudget::take(Clock::time_point now) {
    if (now < restUntil_) {
        return Grant::Resting;
    }
    while (!sent_.empty() && sent_.front() <= now - span_) {
        sent_.pop_front();
    }
    if (sent_.size() < limit_) {
        sent_.push_back(now);
        return Grant::Granted;
    }
    sent_.clear();
    restUntil_ = now + rest_;
    return Grant::CapHit;
}

}  // namespace lumivo
