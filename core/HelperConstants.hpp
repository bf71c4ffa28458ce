#pragma once

#include <string_view>

#include "Url.hpp"

namespace lumivo {

// Fixed values shared across the helper. The web origin is compiled in
// (CMake cache variable LUMIVO_WEB_ORIGIN, host with an optional ":port").
namespace HelperConstants {

inline constexpr std::string_view appName = "Lumivo Helper";
inline constexpr std::string_view urlScheme = "lumivo";
// The release this build was made from, for --version.
std::string_view version();
// The production web origin: a host name, optionally followed by ":port".
std::string_view webOrigin();
// "https://<webOrigin>/api/wallpapers.json", built once (thread-safe) and
// handed out as the same value on every later call.
const Url& manifestEndpoint();

}  // namespace HelperConstants

}  // namespace lumivo
