#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stop_token>
#include <thread>
#include <tuple>

#include "HelperError.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

inline void PrintTo(const HelperError& error, std::ostream* os) {
    *os << error.what();
}

namespace test {

namespace fs = std::filesystem;

// One manifest record object as JSON text. `overrides` replaces (or adds) a
// key's raw JSON value; a key overridden with "" is left out.
inline std::string recordObject(const std::string& id,
                                std::map<std::string, std::string> overrides = {}) {
    const std::string defaults[] = {"id",           "\"" + id + "\"",
                                    "slug",         "\"s\"",
                                    "title",        "\"T\"",
                                    "category",     "\"nature\"",
                                    "thumbnailUrl", "\"/t.jpg\"",
                                    "videoUrl",     "\"https://cdn.example.com/v.mp4\"",
                                    "sha256",       std::string("\"").append(64, 'a').append("\""),
                                    "bytes",        "1048576",
                                    "duration",     "12.5",
                                    "width",        "1920",
                                    "height",       "1080",
                                    "format",       "\"mp4\"",
                                    "updatedAt",    "\"2024-05-01T10:00:00Z\""};
    for (std::size_t i = 0; i < std::size(defaults); i += 2) {
        overrides.try_emplace(defaults[i], defaults[i + 1]);
    }
    std::string out;
    for (const auto& [key, value] : overrides) {
        if (!value.empty()) {
            out.append(out.empty() ? "{\"" : ",\"").append(key).append("\":").append(value);
        }
    }
    return out + "}";
}

// A manifest document of default records with the given ids.
inline std::string manifestWithIds(const std::vector<std::string>& ids) {
    std::string out;
    for (const auto& id : ids) {
        out += out.empty() ? "[" : ",";
        out += recordObject(id);
    }
    return out.empty() ? "[]" : out + "]";
}

// A record with the fields the acquisition code reads; the rest are filler.
inline WallpaperRecord videoRecord(const std::string& videoUrl, const std::string& sha256,
                                   const std::string& id = "aurora", std::int64_t bytes = 1024,
                                   const std::string& format = "mp4") {
    return WallpaperRecord(id, "slug", "Aurora", "nature", Url::parse("/t.jpg").value(),
                           Url::parse(videoUrl).value(), sha256, bytes, 12.0, 1920, 1080, format,
                           "2024-05-01T10:00:00Z");
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
        hex += {"0123456789abcdef"[digest[i] >> 4], "0123456789abcdef"[digest[i] & 15]};
    }
    return hex;
}

inline void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every entry below `root` relative to it, sorted: a snapshot to compare.
inline std::vector<std::string> treeOf(const fs::path& root) {
    std::vector<std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(fs::relative(it->path(), root).string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A fresh directory (symbolic links resolved), removed with its contents at
// the end of the test.
class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "lumivo-XXXXXX").string();
        path_ = fs::canonical(::mkdtemp(pattern.data()));
    }
    ~TemporaryDirectory() { fs::remove_all(path_); }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

// Requests the stop once `reached` holds (for ten seconds at most) on a thread
// of its own, and joins it when it goes.
class StopWhen {
  public:
    StopWhen(std::stop_source stop, std::function<bool()> reached)
        : thread_([stop, reached = std::move(reached)]() mutable {
              for (int i = 0; i < 1000 && !reached(); ++i) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
              stop.request_stop();
          }) {}
    ~StopWhen() { thread_.join(); }

  private:
    std::thread thread_;
};

#ifdef LUMIVO_CLI
// Exit status, standard output and standard error of one run.
using ToolRun = std::tuple<int, std::string, std::string>;

// Runs the lumivo tool in `dir` with both streams going to files (neither is a
// terminal). Arguments are single-quoted, so they must hold no quote.
inline ToolRun runLumivo(const fs::path& dir, const std::vector<std::string>& args) {
    std::string command = "cd '" + dir.string() + "' && '" LUMIVO_CLI "'";
    for (const auto& arg : args) {
        command += " '" + arg + "'";
    }
    const int status = std::system((command + " >.stdout 2>.stderr").c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / ".stdout"),
                readFile(dir / ".stderr")};
    fs::remove(dir / ".stdout");
    fs::remove(dir / ".stderr");
    return run;
}
#endif

}  // namespace test
}  // namespace lumivo
