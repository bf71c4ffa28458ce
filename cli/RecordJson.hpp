#pragma once

#include <string>
#include <string_view>

#include "WallpaperRecord.hpp"

namespace lumivo::cli {

// `text` as a JSON string literal (quotes included). Escapes `"`, `\` and
// every control character; other UTF-8 passes through unchanged.
std::string jsonQuoted(std::string_view text);

// The record as one line of JSON: an object with the 13 manifest keys in
// field order, URLs as written, numbers exact (duration round-trips).
std::string recordJson(const WallpaperRecord& record);

}  // namespace lumivo::cli
