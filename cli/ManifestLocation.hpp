#pragma once

#include <optional>
#include <string>

#include "Url.hpp"

namespace lumivo::cli {

// Where a command line names a manifest: text holding "://" is a URL, any
// other text a local path made absolute against the working directory.
// Absent for empty text, a URL that does not parse, or a path that cannot be
// made absolute.
std::optional<Url> manifestLocation(const std::string& text);

}  // namespace lumivo::cli
