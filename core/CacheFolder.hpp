#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FileManager.hpp"

namespace lumivo {

// The downloaded videos of the wallpaper cache, as the helper and `lumivo
// cache` both see them without talking to each other: a video's modification
// time is when it was last applied (the helper stamps it at each apply), and
// the names listed in ".protected" are the videos the helper keeps (playing,
// or remembered for the next login), a list it replaces atomically. Only
// "*.mp4" files that are not hidden count: downloads in progress never do.
// Holds no state beyond its root; safe from any thread.
class CacheFolder {
  public:
    static constexpr const char* protectedListName = ".protected";

    CacheFolder(std::filesystem::path root, FileManager& fileManager)
        : root_(std::move(root)), fileManager_(fileManager) {}

    const std::filesystem::path& root() const { return root_; }

    struct File {
        std::filesystem::path path;
        std::int64_t bytes = 0;
        std::filesystem::file_time_type lastApplied;
        bool isProtected = false;
    };
    // The videos, by name; none when the folder cannot be listed. Throws as
    // protectedNames() does.
    std::vector<File> files() const;

    // Stamps now as the time `file` was last applied. Best effort: false when
    // the file cannot be touched (it then counts as applied when it landed).
    bool markApplied(const std::filesystem::path& file) const;

    // Replaces the list of kept videos by the names of those of `files` that
    // lie in this folder (the others are not the cache's to keep); with none,
    // removes the list. Throws
    // cacheFailed when the list cannot be written; the earlier list then
    // stays as it was.
    void protect(const std::vector<std::filesystem::path>& files) const;
    // The names in the list; none when there is no list. Throws cacheFailed
    // when a list is there but cannot be read, since pruning must not guess.
    std::set<std::string> protectedNames() const;

    struct Removal {
        std::filesystem::path path;
        std::int64_t bytes = 0;
        // Why the file could not be removed; it then stays, whole.
        std::optional<std::string> failure;
    };
    // Removes the least recently applied unprotected videos until the rest
    // fit in `limitBytes` (CacheEviction). A file that cannot be removed
    // stays and is reported, and the next in line goes in its place. Returns
    // every attempt in order. Throws as files() does, before removing anything.
    std::vector<Removal> prune(std::int64_t limitBytes) const;

  private:
    std::filesystem::path root_;
    FileManager& fileManager_;
};

}  // namespace lumivo
