#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "SettingsStoring.hpp"
#include "WallpaperResolver.hpp"

namespace lumivo {

// What the helper remembers of the wallpaper that plays, so that the next start
// can play it again without a manifest or the network: kept in the settings
// group "lastWallpaper" from a successful apply until a stop. The entries of
// Recent Wallpapers are kept the same way, each in a group of its own.
struct LastWallpaper {
    static constexpr const char* group = "lastWallpaper";

    std::string id;
    std::string title;
    std::filesystem::path file;
    // A file from the cache: the digest and size it was verified against.
    std::optional<std::string> sha256;
    std::optional<std::int64_t> bytes;
    // A file from the checkout: the record's video URL, so that the checkout's
    // asset rules can be applied to it again.
    std::optional<std::string> videoUrl;

    // What an apply that played `played` leaves to remember.
    static LastWallpaper of(const ResolvedWallpaper& played);
    // The same as an apply's outcome, to play it again.
    ResolvedWallpaper resolved() const;

    // Why its file may not play again, as "<file> is gone." and the like;
    // nothing when it passes: a cached file must lie in the cache and match
    // its digest, a checkout file must be where the asset rules lead its
    // video URL. Blocking (a full digest); never throws.
    std::optional<std::string> fileProblem(const WallpaperResolver& resolver) const;
    // Whether it names a cached file (a digest) that does not lie in the
    // folder `cacheRoot`, however either is spelled: settings that point the
    // digest check at any other file are damaged.
    bool cachedOutside(const std::filesystem::path& cacheRoot) const;

    // The wallpaper kept in `from`; absent when none is, or when what is
    // stored is incomplete (no id, title or file, or neither a digest nor a
    // video URL).
    static std::optional<LastWallpaper> load(const SettingsStoring& settings,
                                             const std::string& from = group);
    // Replaces whatever `to` held.
    void save(SettingsStoring& settings, const std::string& to = group) const;
    static void forget(SettingsStoring& settings, const std::string& from = group);

    friend bool operator==(const LastWallpaper&, const LastWallpaper&) = default;
};

}  // namespace lumivo
