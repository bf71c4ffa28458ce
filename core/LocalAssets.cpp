#include "LocalAssets.hpp"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "AsciiText.hpp"

namespace lumivo {

namespace {

constexpr std::string_view prefixes[] = {"/assets/", "/velmor-assets/"};

// True when `path` (normalised) is `root` itself or lies below it.
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& root) {
    auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end() || (std::next(rootEnd) == root.end() && rootEnd->empty());
}

bool hasMP4Extension(const std::filesystem::path& path) {
    return asciiLowercased(path.extension().string()) == ".mp4";
}

}  // namespace

std::optional<std::filesystem::path> LocalAssets::file(const Url& videoUrl) const {
    const std::string path = videoUrl.path();
    if (std::none_of(std::begin(prefixes), std::end(prefixes),
                     [&](std::string_view prefix) { return path.starts_with(prefix); })) {
        return std::nullopt;
    }
    const std::filesystem::path joined = (webPublicRoot_ / path.substr(1)).lexically_normal();
    // The URL comes from a manifest, possibly a remote one: ".." segments must
    // not lead the player to files outside the checkout. Symbolic links inside
    // the checkout are the developer's own and are followed.
    if (!isWithin(joined, webPublicRoot_)) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(joined, error);
    if (error) {
        resolved = joined;
    }
    if (!hasMP4Extension(resolved) || !fileManager_.isReadableFile(resolved)) {
        return std::nullopt;
    }
    return resolved;
}

}  // namespace lumivo
