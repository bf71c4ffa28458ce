#include "ApplyCancellation.hpp"

namespace lumivo {

void ApplyCancellation::stop() {
    ++stops_;
    cancel();
}

void ApplyCancellation::cancel() {
    if (running_) {
        running_->cancel();
    }
    if (cancelTransfers_) {
        cancelTransfers_();
    }
}

bool ApplyCancellation::ended() {
    const bool cancelled = running_ && running_->isCancelled();
    running_.reset();
    return cancelled;
}

}  // namespace lumivo
