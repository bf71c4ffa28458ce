#include "HelperLocations.hpp"

namespace lumivo {

namespace {

// A directory URL ends in "/", the way a directory is marked.
Url directoryURL(const std::filesystem::path& path) {
    return Url::fileURL(path.lexically_normal() / "");
}

}  // namespace

HelperLocations HelperLocations::fromProjectRoot(const std::filesystem::path& root) {
    const auto base = root.lexically_normal();
    const auto webPublic = base / "web" / "public";
    return HelperLocations{
        directoryURL(base),
        directoryURL(webPublic),
        directoryURL(base / "data" / "assets" / "wallpapers"),
        Url::fileURL(webPublic / "api" / "wallpapers.json"),
    };
}

}  // namespace lumivo
