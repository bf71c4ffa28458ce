#pragma once

#include <memory>

#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "HelperLocations.hpp"
#include "ManifestDataLoading.hpp"
#include "WallpaperResolver.hpp"

namespace lumivo {

// The helper's resolver: the production manifest with the checkout's as
// fallback, the checkout's assets (both only with a checkout), and downloads
// from the production web host only.
WallpaperResolver::Setup resolverSetup(const HelperLocations& locations,
                                       std::unique_ptr<ManifestDataLoading> remoteLoader,
                                       std::unique_ptr<ManifestDataLoading> localLoader,
                                       std::unique_ptr<FileDownloading> downloader,
                                       FileManager* fileManager);

}  // namespace lumivo
