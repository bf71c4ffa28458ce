#include "ResolverSetup.hpp"

#include "HelperConstants.hpp"

namespace lumivo {

WallpaperResolver::Setup resolverSetup(const HelperLocations& locations,
                                       std::unique_ptr<ManifestDataLoading> remoteLoader,
                                       std::unique_ptr<ManifestDataLoading> localLoader,
                                       std::unique_ptr<FileDownloading> downloader,
                                       FileManager* fileManager) {
    const Url& endpoint = HelperConstants::manifestEndpoint();
    const auto& checkout = locations.checkout;
    return WallpaperResolver::Setup{
        .manifestEndpoint = endpoint,
        .remoteLoader = std::move(remoteLoader),
        .localManifestURL = checkout ? std::optional(checkout->localManifestURL) : std::nullopt,
        .localLoader = std::move(localLoader),
        .webPublicRoot = checkout ? std::optional(checkout->webPublicRoot.path()) : std::nullopt,
        // Downloads come only from the production web host.
        .policy = DownloadPolicy({*endpoint.host()}, DownloadPolicy::defaultMaxBytes),
        .downloader = std::move(downloader),
        .fileManager = fileManager,
    };
}

}  // namespace lumivo
