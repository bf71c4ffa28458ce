#include "LastWallpaper.hpp"

#include <charconv>

namespace lumivo {

namespace {

constexpr const char* group = "lastWallpaper";

std::string key(const char* name) {
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

}  // namespace

std::optional<LastWallpaper> LastWallpaper::load(const SettingsStoring& settings) {
    auto id = settings.text(key("id"));
    auto title = settings.text(key("title"));
    auto file = settings.text(key("file"));
    if (!id || !title || !file || file->empty()) {
        return std::nullopt;
    }
    LastWallpaper last{std::move(*id),
                       std::move(*title),
                       std::filesystem::path(*file),
                       settings.text(key("sha256")),
                       parseBytes(settings.text(key("bytes"))),
                       settings.text(key("videoUrl"))};
    const bool cached = last.sha256 && last.bytes;
    if (!cached && !last.videoUrl) {
        return std::nullopt;
    }
    return last;
}

void LastWallpaper::save(SettingsStoring& settings) const {
    // A group holds one wallpaper: nothing of an earlier one may stay behind.
    forget(settings);
    settings.setText(key("id"), id);
    settings.setText(key("title"), title);
    settings.setText(key("file"), file.string());
    if (sha256 && bytes) {
        settings.setText(key("sha256"), *sha256);
        settings.setText(key("bytes"), std::to_string(*bytes));
    }
    if (videoUrl) {
        settings.setText(key("videoUrl"), *videoUrl);
    }
}

void LastWallpaper::forget(SettingsStoring& settings) {
    settings.remove(group);
}

}  // namespace lumivo
