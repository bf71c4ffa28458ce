#pragma once

#include <filesystem>

#include "Url.hpp"

namespace lumivo {

// The fixed locations derived from the developer checkout of the gallery. They
// are file URLs, built once at start and never checked for existence here: a
// missing checkout only changes later choices (remote manifest, web pages).
struct HelperLocations {
    Url projectRoot;
    Url webPublicRoot;     // projectRoot + "web/public/"
    Url assetRoot;         // projectRoot + "data/assets/wallpapers/"; nothing reads it
    Url localManifestURL;  // webPublicRoot + "api/wallpapers.json"

    // Precondition: `root` is absolute.
    static HelperLocations fromProjectRoot(const std::filesystem::path& root);
};

}  // namespace lumivo
