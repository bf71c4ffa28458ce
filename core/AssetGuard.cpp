#include "AssetGuard.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <string>

#include "AsciiText.hpp"
#include "HelperError.hpp"

namespace lumivo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view assetPrefix = "/assets/wallpapers/";
// The kernel's own limit on links followed while resolving one path.
constexpr int maxSymbolicLinks = 40;

std::deque<std::string> componentsOf(const fs::path& path) {
    std::deque<std::string> components;
    for (const fs::path& part : path.relative_path()) {
        components.push_back(part.string());
    }
    return components;
}

// Follows every symbolic link in an absolute path, dangling ones included, so
// a link that points outside the tree is judged by where it points even when
// its target does not exist. Components past the first missing one are kept
// as they are. A loop of links stops resolution where it was detected.
fs::path resolvingSymlinks(const fs::path& absolute) {
    fs::path result = "/";
    std::deque<std::string> pending = componentsOf(absolute);
    int linksFollowed = 0;
    while (!pending.empty()) {
        const std::string component = pending.front();
        pending.pop_front();
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            result = result.parent_path();
            continue;
        }
        const fs::path candidate = result / component;
        struct stat info {};
        if (component.find('\0') != std::string::npos || ::lstat(candidate.c_str(), &info) != 0 ||
            !S_ISLNK(info.st_mode) || linksFollowed == maxSymbolicLinks) {
            result = candidate;
            continue;
        }
        ++linksFollowed;
        std::error_code error;
        const fs::path target = fs::read_symlink(candidate, error);
        if (error) {
            result = candidate;
            continue;
        }
        std::deque<std::string> targetComponents = componentsOf(target);
        pending.insert(pending.begin(), targetComponents.begin(), targetComponents.end());
        if (target.is_absolute()) {
            result = "/";
        }
    }
    return result;
}

fs::path normalised(const fs::path& path) {
    fs::path standard = fs::absolute(path).lexically_normal();
    // lexically_normal keeps a trailing separator as an empty last component.
    if (!standard.has_filename() && standard.has_parent_path() &&
        standard != standard.root_path()) {
        standard = standard.parent_path();
    }
    return resolvingSymlinks(standard);
}

// The text after the last "." of the last component, "" when there is none.
std::string lowercasedExtension(const fs::path& path) {
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    return asciiLowercased(dot == std::string::npos ? "" : name.substr(dot + 1));
}

}  // namespace

AssetGuard::AssetGuard(const fs::path& projectRoot, const fs::path& webPublicRoot,
                       const fs::path& assetRoot, const FileManager& fileManager)
    : projectRoot_(normalised(projectRoot)),
      webPublicRoot_(normalised(webPublicRoot)),
      assetRoot_(normalised(assetRoot)),
      fileManager_(fileManager) {}

fs::path AssetGuard::videoURL(const WallpaperRecord& record) const {
    const Url& video = record.videoUrl();
    if (!video.path().starts_with(assetPrefix)) {
        throw HelperError::missingPath();
    }
    // Only the file name counts: the file must lie directly in the asset root.
    // Appended as text, so a decoded "/" inside it cannot restart the path.
    const fs::path resolved =
        normalised(fs::path(assetRoot_.string() + "/" + video.lastPathComponent()));

    if (lowercasedExtension(resolved) != "mp4") {
        throw HelperError::badExtension();
    }
    std::string inside = assetRoot_.string();
    if (!inside.ends_with('/')) {
        inside += '/';
    }
    if (!resolved.string().starts_with(inside)) {
        throw HelperError::outsideAssetRoot();
    }
    if (!fileManager_.isReadableFile(resolved)) {
        throw HelperError::unreadableFile();
    }
    return resolved;
}

}  // namespace lumivo
