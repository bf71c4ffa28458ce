#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace lumivo {

// The 13 JSON keys of a manifest record, in field order. A key's text is its
// name; matching is exact and case-sensitive.
enum class WallpaperRecordKey {
    id,
    slug,
    title,
    category,
    thumbnailUrl,
    videoUrl,
    sha256,
    bytes,
    duration,
    width,
    height,
    format,
    updatedAt,
};

inline constexpr std::size_t wallpaperRecordKeyCount = 13;

inline constexpr std::array<std::string_view, wallpaperRecordKeyCount> wallpaperRecordKeyNames = {
    "id",    "slug",     "title", "category", "thumbnailUrl", "videoUrl",  "sha256",
    "bytes", "duration", "width", "height",   "format",       "updatedAt",
};

constexpr std::string_view keyName(WallpaperRecordKey key) {
    return wallpaperRecordKeyNames[static_cast<std::size_t>(key)];
}

// The key spelled exactly `text`, or absent for any other text.
constexpr std::optional<WallpaperRecordKey> wallpaperRecordKey(std::string_view text) {
    for (std::size_t i = 0; i < wallpaperRecordKeyCount; ++i) {
        if (wallpaperRecordKeyNames[i] == text) {
            return static_cast<WallpaperRecordKey>(i);
        }
    }
    return std::nullopt;
}

}  // namespace lumivo
