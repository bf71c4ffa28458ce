#include "AlertCoalescer.hpp"

#include <utility>

namespace lumivo {

void AlertCoalescer::report(const std::string& description) {
    if (open_) {
        if (firstHeld_) {
            ++moreHeld_;
        } else {
            firstHeld_ = description;
        }
        return;
    }
    open_ = true;
    std::string text = description;
    while (show_(text) && firstHeld_) {
        text = followUpText(*firstHeld_, std::exchange(moreHeld_, 0));
        firstHeld_.reset();
    }
    firstHeld_.reset();
    moreHeld_ = 0;
    open_ = false;
}

std::string AlertCoalescer::followUpText(const std::string& first, std::size_t more) {
    if (more == 0) {
        return first;
    }
    return first + "\n\n" + std::to_string(more) + (more == 1 ? " more error" : " more errors") +
           " occurred while the previous alert was open; see the log for details.";
}

}  // namespace lumivo
