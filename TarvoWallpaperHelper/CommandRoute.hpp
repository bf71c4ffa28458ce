#pragma once

#include <optional>
#include <string>

#include "Route.hpp"

namespace lumivo {

// The route of a command URL's text. Throws badURL for absent text, text
// longer than URLRouter::maxURLLength (refused before it is parsed) and text
// that is no URL, and the router's errors for URLs it refuses.
Route commandRoute(const std::optional<std::string>& text);

}  // namespace lumivo
