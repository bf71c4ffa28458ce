#pragma once

#include <cstdint>
#include <string>

#include "Url.hpp"

namespace lumivo {

// One manifest entry: an immutable value of 13 fields, stored exactly as given.
class WallpaperRecord {
  public:
    WallpaperRecord(std::string id, std::string slug, std::string title, std::string category,
                    Url thumbnailUrl, Url videoUrl, std::string sha256, std::int64_t bytes,
                    double duration, std::int64_t width, std::int64_t height, std::string format,
                    std::string updatedAt)
        : id_(std::move(id)),
          slug_(std::move(slug)),
          title_(std::move(title)),
          category_(std::move(category)),
          thumbnailUrl_(std::move(thumbnailUrl)),
          videoUrl_(std::move(videoUrl)),
          sha256_(std::move(sha256)),
          bytes_(bytes),
          duration_(duration),
          width_(width),
          height_(height),
          format_(std::move(format)),
          updatedAt_(std::move(updatedAt)) {}

    const std::string& id() const { return id_; }
    const std::string& slug() const { return slug_; }
    const std::string& title() const { return title_; }
    const std::string& category() const { return category_; }
    const Url& thumbnailUrl() const { return thumbnailUrl_; }
    const Url& videoUrl() const { return videoUrl_; }
    const std::string& sha256() const { return sha256_; }
    std::int64_t bytes() const { return bytes_; }
    double duration() const { return duration_; }
    std::int64_t width() const { return width_; }
    std::int64_t height() const { return height_; }
    const std::string& format() const { return format_; }
    const std::string& updatedAt() const { return updatedAt_; }

  private:
    std::string id_;
    std::string slug_;
    std::string title_;
    std::string category_;
    Url thumbnailUrl_;
    Url videoUrl_;
    std::string sha256_;
    std::int64_t bytes_;
    double duration_;
    std::int64_t width_;
    std::int64_t height_;
    std::string format_;
    std::string updatedAt_;
};

}  // namespace lumivo
