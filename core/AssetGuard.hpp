#pragma once

#include <filesystem>

#include "FileManager.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

// Resolves a record's video to a readable MP4 file directly inside a local
// asset tree, refusing anything that would reach outside it through ".." or
// symbolic links. Immutable after construction; the roots are normalised
// (lexically, then with symbolic links resolved) once, here.
class AssetGuard {
  public:
    AssetGuard(const std::filesystem::path& projectRoot, const std::filesystem::path& webPublicRoot,
               const std::filesystem::path& assetRoot, const FileManager& fileManager);

    const std::filesystem::path& projectRoot() const { return projectRoot_; }
    const std::filesystem::path& webPublicRoot() const { return webPublicRoot_; }
    const std::filesystem::path& assetRoot() const { return assetRoot_; }

    // The resolved file for a video path "/assets/wallpapers/.../<name>":
    // assetRoot/<name> with symbolic links resolved. Throws, checking in this
    // order, missingPath (other path), badExtension (resolved file not .mp4 in
    // any case), outsideAssetRoot (resolved file not strictly below the asset
    // root), unreadableFile (missing or unreadable).
    std::filesystem::path videoURL(const WallpaperRecord& record) const;

  private:
    std::filesystem::path projectRoot_;
    std::filesystem::path webPublicRoot_;
    std::filesystem::path assetRoot_;
    const FileManager& fileManager_;
};

}  // namespace lumivo
