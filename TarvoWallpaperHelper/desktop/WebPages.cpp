#include "WebPages.hpp"

#include <string>

#include "HelperConstants.hpp"

namespace lumivo {

Url webPage(bool development, WebPage page) {
    const std::string origin = development ? std::string("http://127.0.0.1:4173")
                                           : "https://" + std::string(HelperConstants::webOrigin());
    return *Url::parse(origin + (page == WebPage::gallery ? "/live-wallpapers/" : "/mac-helper/"));
}

}  // namespace lumivo
