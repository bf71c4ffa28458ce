#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "SettingsStoring.hpp"

namespace lumivo {

// What the helper remembers of the wallpaper that plays, so that the next start
// can play it again without a manifest or the network: kept in the settings
// group "lastWallpaper" from a successful apply until a stop.
struct LastWallpaper {
    std::string id;
    std::string title;
    std::filesystem::path file;
    // A file from the cache: the digest and size it was verified against.
    std::optional<std::string> sha256;
    std::optional<std::int64_t> bytes;
    // A file from the checkout: the record's video URL, so that the checkout's
    // asset rules can be applied to it again.
    std::optional<std::string> videoUrl;

    // The remembered wallpaper; absent when none is, or when what is stored is
    // incomplete (no id, title or file, or neither a digest nor a video URL).
    static std::optional<LastWallpaper> load(const SettingsStoring& settings);
    void save(SettingsStoring& settings) const;
    static void forget(SettingsStoring& settings);

    friend bool operator==(const LastWallpaper&, const LastWallpaper&) = default;
};

}  // namespace lumivo
