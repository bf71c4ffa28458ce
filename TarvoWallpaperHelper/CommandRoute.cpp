#include "CommandRoute.hpp"

#include "HelperError.hpp"
#include "URLRouter.hpp"
#include "Url.hpp"

namespace lumivo {

Route commandRoute(const std::optional<std::string>& text) {
    if (!text) {
        throw HelperError::badURL();
    }
    URLRouter::checkLength(*text);
    const std::optional<Url> url = Url::parse(*text);
    if (!url) {
        throw HelperError::badURL();
    }
    return URLRouter::parse(*url);
}

}  // namespace lumivo
