#include "LastWallpaper.hpp"

#include <charconv>
#include <system_error>

namespace lumivo {

namespace {

std::string key(const std::string& group, const char* name) {
    return std::string(group).append("/").append(name);
}

std::optional<std::int64_t> parseBytes(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [rest, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || rest != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

// The folder a path names, however it is spelled ("/a/b/", "/a/./b").
std::filesystem::path folder(const std::filesystem::path& path) {
    const std::filesystem::path normal = path.lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

}  // namespace

bool LastWallpaper::cachedOutside(const std::filesystem::path& cacheRoot) const {
    return sha256 && folder(file.parent_path()) != folder(cacheRoot);
}

LastWallpaper LastWallpaper::of(const ResolvedWallpaper& played) {
    LastWallpaper last{played.id,    played.title, played.video,
                       std::nullopt, std::nullopt, std::nullopt};
    if (played.fromCache) {
        last.sha256 = played.sha256;
        last.bytes = played.bytes;
    } else {
        last.videoUrl = played.videoUrl;
    }
    return last;
}

ResolvedWallpaper LastWallpaper::resolved() const {
    const bool fromCache = sha256 && bytes;
    return ResolvedWallpaper{
        title, file, id, fromCache, sha256.value_or(""), bytes.value_or(0), videoUrl.value_or("")};
}

std::optional<std::string> LastWallpaper::fileProblem(const WallpaperResolver& resolver) const {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return file.string() + " is gone.";
    }
    if (sha256 && bytes) {
        if (!resolver.isCachedCopy(file, *sha256)) {
            return file.string() + " is not a valid cached copy.";
        }
        return std::nullopt;
    }
    const std::optional<Url> url = videoUrl ? Url::parse(*videoUrl) : std::nullopt;
    if (!url || resolver.checkoutFile(*url) != file) {
        return file.string() + " is no longer the checkout's file for its video URL.";
    }
    return std::nullopt;
}

std::optional<LastWallpaper> LastWallpaper::load(const SettingsStoring& settings,
                                                 const std::string& group) {
    auto id = settings.text(key(group, "id"));
    auto title = settings.text(key(group, "title"));
    auto file = settings.text(key(group, "file"));
    if (!id || !title || !file || file->empty()) {
        return std::nullopt;
    }
    LastWallpaper last{std::move(*id),
                       std::move(*title),
                       std::filesystem::path(*file),
                       settings.text(key(group, "sha256")),
                       parseBytes(settings.text(key(group, "bytes"))),
                       settings.text(key(group, "videoUrl"))};
    const bool cached = last.sha256 && last.bytes;
    if (!cached && !last.videoUrl) {
        return std::nullopt;
    }
    return last;
}

void LastWallpaper::save(SettingsStoring& settings, const std::string& group) const {
    // A group holds one wallpaper: nothing of an earlier one may stay behind.
    forget(settings, group);
    settings.setText(key(group, "id"), id);
    settings.setText(key(group, "title"), title);
    settings.setText(key(group, "file"), file.string());
    if (sha256 && bytes) {
        settings.setText(key(group, "sha256"), *sha256);
        settings.setText(key(group, "bytes"), std::to_string(*bytes));
    }
    if (videoUrl) {
        settings.setText(key(group, "videoUrl"), *videoUrl);
    }
}

void LastWallpaper::forget(SettingsStoring& settings, const std::string& group) {
    settings.remove(group);
}

}  // namespace lumivo
