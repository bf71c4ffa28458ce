#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "DownloadPolicy.hpp"
#include "FileDownloading.hpp"
#include "FileManager.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

// A content-addressed directory of verified wallpaper videos. A cached file is
// named "<id>-<first 12 digest characters>.mp4" and is re-verified by a full
// SHA-256 every time it is reused; a download lands in a hidden temporary file
// that is renamed into place only after its size and digest check out. While
// a download runs, its owner holds a lock file beside it (OwnerLock), so any
// process can tell a live download from one whose process died. One call at
// a time; the cache owns its downloader.
class WallpaperCache {
  public:
    // Every localFile() first removes the temporary files of downloads whose
    // owner died, and those without an owner lock once older than this. A
    // download of a live process, in this or any other process, is kept.
    static constexpr std::chrono::hours leftoverAge{1};

    // `downloader` must not be null. Touches nothing on disk.
    WallpaperCache(std::filesystem::path root, std::unique_ptr<FileDownloading> downloader,
                   FileManager& fileManager);
    // Uses defaultRoot(fileManager); throws as it does.
    WallpaperCache(std::unique_ptr<FileDownloading> downloader, FileManager& fileManager);

    // "<user cache directory>/Lumivo/wallpapers". Creates nothing. Throws
    // cacheFailed("Application Support directory is unavailable.") when the
    // environment names no usable cache directory.
    static std::filesystem::path defaultRoot(const FileManager& fileManager);

    const std::filesystem::path& root() const { return root_; }

    // Where the record's verified video lives. No file-system access. Throws
    // badID for an id that could name a file outside the root (empty, "."
    // or "..", or holding "/") or that holds a control character (U+0000 to
    // U+001F or U+007F), and badChecksum for a digest holding "/" or NUL.
    std::filesystem::path cacheURL(const WallpaperRecord& record) const;

    // Returns cacheURL(record) holding a file whose SHA-256 matches the
    // record, downloading it first unless a valid copy is cached. Throws the
    // policy's refusal or badID before anything on disk is touched; the
    // downloader's error; badDownloadSize, unreadableFile, checksumMismatch
    // or cacheFailed. No temporary file outlives a failure.
    // A stop requested on `stop` ends it early with downloadCancelled(),
    // whether it comes before, during the download or while a digest is
    // taken; a cached copy it was checking stays, and a download it cut short
    // leaves nothing, also not under the final name.
    std::filesystem::path localFile(const WallpaperRecord& record, const DownloadPolicy& policy,
                                    std::stop_token stop = {});

    // Whether `file` is readable and its SHA-256 equals `expectedSHA256`,
    // ignoring letter case. A read failure answers false. Throws only
    // downloadCancelled(), when a stop on `stop` cut the digest short.
    bool isValidCachedFile(const std::filesystem::path& file, std::string_view expectedSHA256,
                           std::stop_token stop = {}) const;

  private:
    // Lower-case hex SHA-256 of the file, read in 1 MiB chunks, each after a
    // look at `stop`. Throws unreadableFile when it cannot be opened,
    // cacheFailed on a read error, downloadCancelled() once stopped.
    std::string sha256Hex(const std::filesystem::path& file, const std::stop_token& stop) const;
    void removeLeftoverDownloads() const;

    std::filesystem::path root_;
    std::unique_ptr<FileDownloading> downloader_;
    FileManager& fileManager_;
};

}  // namespace lumivo
