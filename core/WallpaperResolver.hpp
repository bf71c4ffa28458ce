#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>

#include "DownloadPolicy.hpp"
#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "LocalAssets.hpp"
#include "ManifestDataLoading.hpp"
#include "ManifestStore.hpp"
#include "ResolutionReporting.hpp"
#include "Url.hpp"
#include "WallpaperCache.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

// What an apply plays: the record's title and a readable local video file,
// with what it takes to find that file valid again without the manifest.
struct ResolvedWallpaper {
    std::string title;
    std::filesystem::path video;
    std::string id;
    // The file came from the cache, verified against the record's sha256 and
    // bytes; otherwise from the checkout, found by the record's videoUrl.
    bool fromCache = false;
    std::string sha256;
    std::int64_t bytes = 0;
    std::string videoUrl;
};

// Thrown by WallpaperResolver::resolve() when its caller requested a stop:
// the apply ends without an error to show.
class ResolutionCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "The wallpaper was not applied."; }
};

// Turns a wallpaper id into a video file the player can show, as an apply
// does: the record comes from the developer checkout's manifest when that file
// is readable, else from the remote manifest with the local one as fallback;
// the video from the checkout's assets when it is there, else from the
// verified cache, with a second look at the checkout when the cache fails.
// Without a checkout only the remote manifest and the cache count.
// Owns the two manifest stores, the download policy and the cache. Blocking;
// one resolve() at a time.
class WallpaperResolver {
  public:
    struct Setup {
        Url manifestEndpoint;
        std::unique_ptr<ManifestDataLoading> remoteLoader;
        // The checkout's manifest, absent without a checkout (localLoader may
        // then be null).
        std::optional<Url> localManifestURL;
        std::unique_ptr<ManifestDataLoading> localLoader;
        // Where the checkout's /assets/ and /velmor-assets/ files are; absent
        // without a checkout.
        std::optional<std::filesystem::path> webPublicRoot;
        DownloadPolicy policy;
        std::unique_ptr<FileDownloading> downloader;
        FileManager* fileManager = nullptr;
    };

    // Loads, downloads and touches nothing. Throws as WallpaperCache's
    // default root does when there is no per-user cache directory.
    explicit WallpaperResolver(Setup setup);

    // The video for `id`, with its log lines and download progress reported
    // to `reports`. Throws missingRecord for an id the manifest consulted does
    // not hold, the local manifest's error after the remote one failed (the
    // remote error is only logged; without a checkout it is the one thrown),
    // the cache's error when no checkout file turns up either. Once a stop is
    // requested on `stop`, whenever it comes, the step under way ends early
    // and resolve() throws ResolutionCancelled instead of falling back or
    // failing.
    ResolvedWallpaper resolve(const std::string& id, ResolutionReporting& reports,
                              std::stop_token stop);

    // Whether `file` is a valid copy in the cache: inside the cache's folder,
    // readable and matching `sha256` as a cached hit must. Blocking (a full
    // digest); never throws.
    bool isCachedCopy(const std::filesystem::path& file, std::string_view sha256) const;
    // The checkout's file for a video URL by the asset rules of an apply;
    // absent without a checkout.
    std::optional<std::filesystem::path> checkoutFile(const Url& videoUrl) const;

    // Where the downloader reports to: bytes received so far and the length
    // the server announced (-1 for none, then the record's size counts).
    // Call on the resolving thread, which is where a download runs.
    void downloadProgressed(std::int64_t received, std::int64_t expected);

  private:
    WallpaperRecord record(const std::string& id, ResolutionReporting& reports,
                           const std::stop_token& stop) const;
    // The video file, and whether it came from the cache.
    std::pair<std::filesystem::path, bool> video(const WallpaperRecord& record,
                                                 ResolutionReporting& reports,
                                                 const std::stop_token& stop);

    ManifestStore manifest_;
    // The checkout's manifest and assets, all absent without a checkout.
    std::optional<ManifestStore> localManifest_;
    std::optional<std::filesystem::path> localManifestPath_;
    std::optional<LocalAssets> assets_;
    DownloadPolicy policy_;
    WallpaperCache cache_;
    FileManager& fileManager_;

    // The download in progress, for downloadProgressed().
    struct Download {
        ResolutionReporting* reports = nullptr;
        std::string title;
        std::int64_t declaredBytes = 0;
        int percent = -1;
    };
    Download download_;
};

}  // namespace lumivo
