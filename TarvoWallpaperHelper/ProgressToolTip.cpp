#include "ProgressToolTip.hpp"

#include <utility>

#include "HelperConstants.hpp"
#include "LogText.hpp"

namespace lumivo {

void ProgressToolTip::show(StatusItemShowing* item, const std::string& title, int percent) {
    if (item) {
        shown_ = true;
        item->setToolTip("Downloading " + shortenedText(title) + ": " + std::to_string(percent) +
                         "%");
    }
}

void ProgressToolTip::reset(StatusItemShowing* item) {
    if (std::exchange(shown_, false) && item) {
        item->setToolTip(std::string(HelperConstants::appName));
    }
}

}  // namespace lumivo
