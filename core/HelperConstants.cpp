#include "HelperConstants.hpp"

#include <stdexcept>
#include <string>

namespace lumivo::HelperConstants {

std::string_view version() {
    return LUMIVO_VERSION;
}

std::string_view webOrigin() {
    return LUMIVO_WEB_ORIGIN;
}

const Url& manifestEndpoint() {
    static const Url endpoint = [] {
        auto url = Url::parse("https://" + std::string(webOrigin()) + "/api/wallpapers.json");
        if (!url || !url->host()) {
            // Only a broken build setting can get here.
            throw std::logic_error("LUMIVO_WEB_ORIGIN does not form a valid URL");
        }
        return *url;
    }();
    return endpoint;
}

}  // namespace lumivo::HelperConstants
