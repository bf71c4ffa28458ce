#pragma once

#include "Url.hpp"

namespace lumivo {

// The two web pages the helper opens.
enum class WebPage { gallery, helper };

// The page on the loopback development server of the developer checkout
// ("http://127.0.0.1:4173/live-wallpapers/", ".../mac-helper/") when
// `development`, else on the production web host.
Url webPage(bool development, WebPage page);

}  // namespace lumivo
