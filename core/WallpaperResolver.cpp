#include "WallpaperResolver.hpp"

#include <algorithm>

#include "HelperError.hpp"

namespace lumivo {

namespace {

void throwIfCancelled(const std::stop_token& stop) {
    if (stop.stop_requested()) {
        throw ResolutionCancelled();
    }
}

}  // namespace

WallpaperResolver::WallpaperResolver(Setup setup)
    : manifest_(std::move(setup.manifestEndpoint), std::move(setup.remoteLoader)),
      policy_(std::move(setup.policy)),
      cache_(std::move(setup.downloader), *setup.fileManager),
      fileManager_(*setup.fileManager) {
    if (setup.localManifestURL) {
        localManifestPath_ = setup.localManifestURL->path();
        localManifest_.emplace(*std::move(setup.localManifestURL), std::move(setup.localLoader));
    }
    if (setup.webPublicRoot) {
        assets_.emplace(*std::move(setup.webPublicRoot), fileManager_);
    }
}

ResolvedWallpaper WallpaperResolver::resolve(const std::string& id, ResolutionReporting& reports,
                                             std::stop_token stop) {
    try {
        throwIfCancelled(stop);
        WallpaperRecord found = record(id, reports, stop);
        throwIfCancelled(stop);
        auto [file, fromCache] = video(found, reports, stop);
        throwIfCancelled(stop);
        return {found.title(),
                std::move(file),
                found.id(),
                fromCache,
                found.sha256(),
                found.bytes(),
                found.videoUrl().absoluteString()};
    } catch (const ResolutionCancelled&) {
        throw;
    } catch (...) {
        // A step that a stop cut short fails; the stop is what happened.
        throwIfCancelled(stop);
        throw;
    }
}

WallpaperRecord WallpaperResolver::record(const std::string& id, ResolutionReporting& reports,
                                          const std::stop_token& stop) const {
    std::optional<WallpaperRecord> found;
    if (localManifestPath_ && fileManager_.isReadableFile(*localManifestPath_)) {
        // The checkout's manifest answers alone, record or not.
        reports.log("Using local manifest: " + localManifestPath_->string());
        found = localManifest_->record(id, stop);
    } else {
        try {
            // An id the remote manifest does not hold is not looked up locally.
            found = manifest_.record(id, stop);
        } catch (const std::exception& error) {
            throwIfCancelled(stop);
            if (!localManifest_) {
                // Nothing to fall back to: the user learns why the remote one failed.
                throw;
            }
            reports.log("Remote manifest failed, trying local manifest: " +
                        localizedDescription(error));
            found = localManifest_->record(id, stop);
        }
    }
    if (!found) {
        throw HelperError::missingRecord(id);
    }
    return *std::move(found);
}

std::pair<std::filesystem::path, bool> WallpaperResolver::video(const WallpaperRecord& record,
                                                                ResolutionReporting& reports,
                                                                const std::stop_token& stop) {
    if (auto local = checkoutFile(record.videoUrl())) {
        reports.log("Using local asset fallback: " + local->string());
        return {*std::move(local), false};
    }
    download_ = Download{&reports, record.title(), record.bytes(), -1};
    struct Done {
        Download& download;
        ~Done() { download = Download{}; }
    } done{download_};
    try {
        return {cache_.localFile(record, policy_, stop), true};
    } catch (const std::exception& error) {
        throwIfCancelled(stop);
        // The file may have turned up in the checkout meanwhile.
        if (auto local = checkoutFile(record.videoUrl())) {
            reports.log("Download failed, using local asset fallback: " +
                        localizedDescription(error));
            return {*std::move(local), false};
        }
        throw;
    }
}

bool WallpaperResolver::isCachedCopy(const std::filesystem::path& file,
                                     std::string_view sha256) const {
    // A remembered path elsewhere is not the cache's to vouch for.
    return file.lexically_normal().parent_path() == cache_.root().lexically_normal() &&
           cache_.isValidCachedFile(file, sha256);
}

std::optional<std::filesystem::path> WallpaperResolver::checkoutFile(const Url& videoUrl) const {
    return assets_ ? assets_->file(videoUrl) : std::nullopt;
}

void WallpaperResolver::downloadProgressed(std::int64_t received, std::int64_t expected) {
    if (download_.reports == nullptr) {
        return;
    }
    const std::int64_t total = expected > 0 ? expected : download_.declaredBytes;
    if (total <= 0) {
        return;
    }
    const int percent = static_cast<int>(std::clamp<std::int64_t>(received * 100 / total, 0, 100));
    if (percent != download_.percent) {
        download_.percent = percent;
        download_.reports->downloadProgress(download_.title, percent);
    }
}

}  // namespace lumivo
