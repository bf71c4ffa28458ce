#include "URLRouter.hpp"

#include "HelperConstants.hpp"
#include "HelperError.hpp"

namespace lumivo {

void URLRouter::checkLength(std::string_view text) {
    if (text.size() > maxURLLength) {
        throw HelperError::badURL();
    }
}

Route URLRouter::parse(const Url& url) {
    const auto scheme = url.scheme();
    if (!scheme || *scheme != HelperConstants::urlScheme) {
        throw HelperError::badURL();
    }

    // For an absolute path, pathComponents() is "/" followed by the non-empty
    // segments, so index 1 is the first segment after the root. A relative
    // path (lumivo:stop) names no action.
    const std::vector<std::string> components = url.pathComponents();
    const auto host = url.host();
    std::string action;
    std::size_t idIndex = 1;
    if (host) {
        action = *host;
    } else if (components.size() >= 2 && components.front() == "/") {
        action = components[1];
        // Without an authority the action word is itself the first segment
        // (lumivo:/apply/abc); the id is the segment after it.
        idIndex = 2;
    }

    if (action == "ping") {
        return Route::ping();
    }
    if (action == "stop") {
        return Route::stop();
    }
    if (action != "apply") {
        throw HelperError::unknownAction(std::move(action));
    }
    if (components.size() <= idIndex || components[idIndex].empty()) {
        throw HelperError::badID();
    }
    return Route::apply(components[idIndex]);
}

}  // namespace lumivo
