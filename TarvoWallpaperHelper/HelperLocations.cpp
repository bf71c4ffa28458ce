#include "HelperLocations.hpp"

#include "HelperConstants.hpp"

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

WallpaperResolver::Setup HelperLocations::resolverSetup(
    std::unique_ptr<ManifestDataLoading> remoteLoader,
    std::unique_ptr<ManifestDataLoading> localLoader, std::unique_ptr<FileDownloading> downloader,
    FileManager& fileManager) const {
    const Url& endpoint = HelperConstants::manifestEndpoint();
    return WallpaperResolver::Setup{
        .manifestEndpoint = endpoint,
        .remoteLoader = std::move(remoteLoader),
        .localManifestURL = localManifestURL,
        .localLoader = std::move(localLoader),
        .webPublicRoot = webPublicRoot.path(),
        // Downloads come only from the production web host.
        .policy = DownloadPolicy({*endpoint.host()}, DownloadPolicy::defaultMaxBytes),
        .downloader = std::move(downloader),
        .fileManager = &fileManager,
    };
}

}  // namespace lumivo
