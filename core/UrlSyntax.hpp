#pragma once

#include <string_view>

namespace lumivo {

// Whether Url::parse would accept `text`, answered without building a Url.
// Common absolute (scheme://host[:port]/path?query#fragment) and root-relative
// (/path) shapes are checked by a fast scanner; anything else is handed to
// Url::parse. Used to check the URLs of manifest records that are not kept.
bool isValidUrlReference(std::string_view text);

}  // namespace lumivo
