#pragma once

#include <filesystem>
#include <optional>

#include "FileManager.hpp"
#include "Url.hpp"

namespace lumivo {

// Finds a wallpaper's video in the developer checkout: the files under
// web/public that the gallery serves as /assets/... and /velmor-assets/....
// Stateless; blocking (it asks the file system), safe on any thread.
class LocalAssets {
  public:
    LocalAssets(std::filesystem::path webPublicRoot, const FileManager& fileManager)
        : webPublicRoot_(std::move(webPublicRoot).lexically_normal()), fileManager_(fileManager) {}

    // The readable regular MP4 file (symbolic links resolved; a FIFO or a
    // device does not count) that `videoUrl`'s path
    // names under the web root, when the path begins with one of the two
    // prefixes (exactly, case-sensitive). Absent otherwise, and for a path
    // whose ".." segments would leave the web root.
    std::optional<std::filesystem::path> file(const Url& videoUrl) const;

  private:
    std::filesystem::path webPublicRoot_;
    const FileManager& fileManager_;
};

}  // namespace lumivo
