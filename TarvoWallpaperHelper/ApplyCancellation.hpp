#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "PostedReports.hpp"

namespace lumivo {

// Cancels applies: a stop overtakes the applies that arrived before it and
// cuts the running one short (its reports and its transfer); quitting cuts the
// running one short. GUI thread only.
class ApplyCancellation {
  public:
    // `cancelTransfers` ends the download or manifest fetch in flight; may be empty.
    explicit ApplyCancellation(std::function<void()> cancelTransfers)
        : cancelTransfers_(std::move(cancelTransfers)) {}

    // Taken when an apply arrives; a stop after it makes it overtaken().
    std::uint64_t ticket() const { return stops_; }
    bool overtaken(std::uint64_t ticket) const { return ticket != stops_; }
    // A stop arrived: the applies before it end, the running one at once.
    void stop();
    // Cuts the running apply short, if any; safe to repeat.
    void cancel();

    // The reports of the apply that starts now.
    void started(std::shared_ptr<PostedReports> reports) { running_ = std::move(reports); }
    // The running apply has ended; true when it was cancelled.
    bool ended();

  private:
    std::function<void()> cancelTransfers_;
    std::shared_ptr<PostedReports> running_;
    std::uint64_t stops_ = 0;
};

}  // namespace lumivo
