#pragma once

#include <filesystem>
#include <memory>

#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "ManifestDataLoading.hpp"
#include "Url.hpp"
#include "WallpaperResolver.hpp"

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

    // How an apply finds its wallpaper here: this checkout's manifest and
    // assets, the production manifest, downloads from the production host only.
    WallpaperResolver::Setup resolverSetup(std::unique_ptr<ManifestDataLoading> remoteLoader,
                                           std::unique_ptr<ManifestDataLoading> localLoader,
                                           std::unique_ptr<FileDownloading> downloader,
                                           FileManager& fileManager) const;
};

}  // namespace lumivo
