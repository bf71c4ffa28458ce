#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HelperError.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo::test {

// A record with the fields the acquisition code reads; the rest are filler.
inline WallpaperRecord videoRecord(const std::string& videoUrl, const std::string& sha256,
                                   const std::string& id = "aurora", std::int64_t bytes = 1024,
                                   const std::string& format = "mp4") {
    const auto url = Url::parse(videoUrl);
    EXPECT_TRUE(url) << "does not parse: " << videoUrl;
    return WallpaperRecord(id, "slug", "Aurora", "nature", *Url::parse("/t.jpg"),
                           url.value_or(*Url::parse("/invalid")), sha256, bytes, 12.0, 1920, 1080,
                           format, "2024-05-01T10:00:00Z");
}

// The error a call throws, or nothing when it returns.
inline std::optional<HelperError> thrownBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const HelperError& error) {
        return error;
    }
    return std::nullopt;
}

inline std::string sha256Of(const std::string& content) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(content.data(), content.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 15];
    }
    return hex;
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every entry below `root` relative to it, sorted: a snapshot to compare.
inline std::vector<std::string> treeOf(const std::filesystem::path& root) {
    std::vector<std::string> entries;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(std::filesystem::relative(it->path(), root).string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A fresh directory (symbolic links resolved), removed with its contents at
// the end of the test.
class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumivo-XXXXXX").string();
        path_ = std::filesystem::canonical(::mkdtemp(pattern.data()));
    }
    ~TemporaryDirectory() { std::filesystem::remove_all(path_); }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace lumivo::test
