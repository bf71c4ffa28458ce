#include "HelperLocations.hpp"

namespace lumivo {

namespace {

// A directory URL ends in "/", the way a directory is marked.
Url directoryURL(const std::filesystem::path& path) {
    return Url::fileURL(path.lexically_normal() / "");
}

}  // namespace

HelperLocations HelperLocations::fromProjectRoot(const std::filesystem::path& root) {
    // No root, no checkout: nothing may be derived from the working directory.
    if (root.empty()) {
        return HelperLocations{};
    }
    const auto base = root.lexically_normal();
    const auto webPublic = base / "web" / "public";
    return HelperLocations{Checkout{
        directoryURL(base),
        directoryURL(webPublic),
        directoryURL(base / "data" / "assets" / "wallpapers"),
        Url::fileURL(webPublic / "api" / "wallpapers.json"),
    }};
}

bool HelperLocations::hasCheckout(const FileManager& files) const {
    return checkout && files.fileExists(checkout->projectRoot.path());
}

Url HelperLocations::webPage(WebPage page, const FileManager& files) const {
    return lumivo::webPage(hasCheckout(files), page);
}

}  // namespace lumivo
