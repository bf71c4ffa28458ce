#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumivo {

// The file-system operations the acquisition code needs, on the real POSIX
// file system. Every operation is virtual so a test can subclass it to inject
// a failure; standard() is the process-wide instance. Thread-safe (it holds
// no state).
class FileManager {
  public:
    virtual ~FileManager() = default;

    static FileManager& standard();

    // The per-user cache directory: $XDG_CACHE_HOME when it is absolute,
    // else $HOME/.cache when HOME is absolute; absent otherwise.
    virtual std::optional<std::filesystem::path> userCacheDirectory() const;

    // Whether something exists at the path, following symbolic links.
    virtual bool fileExists(const std::filesystem::path& path) const;
    // Whether the path names, after following symbolic links, a regular file
    // that this process may read. FIFOs and devices are not readable files:
    // opening one could block or never end.
    virtual bool isReadableFile(const std::filesystem::path& path) const;
    // Best effort removal of a file or symbolic link (never a directory).
    // Returns whether something was removed.
    virtual bool removeItem(const std::filesystem::path& path) const noexcept;
    // Renames `from` to `to`, atomically replacing a file at `to`. Both must be
    // on one file system. Throws std::system_error naming both paths.
    virtual void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    // Creates the directory and any missing parents; succeeds when it exists.
    // Throws std::system_error naming the path.
    virtual void createDirectories(const std::filesystem::path& path) const;
    // Size in bytes of a regular file, or absent when it cannot be read.
    virtual std::optional<std::int64_t> fileSize(const std::filesystem::path& path) const;
    // Time of last modification, or absent when it cannot be read.
    virtual std::optional<std::filesystem::file_time_type> modificationDate(
        const std::filesystem::path& path) const;
    // Names of the regular files directly in a directory (no "." or ".."
    // entries, no directories); empty when the directory cannot be listed.
    virtual std::vector<std::string> regularFileNames(const std::filesystem::path& directory) const;

    // Reads the file from start to end in chunks of at most `chunkSize` bytes
    // and hands each to `consume`. Returns false when the file cannot be
    // opened; throws std::system_error when a read fails after it was opened.
    // What `consume` throws ends the read and passes through.
    virtual bool readChunks(const std::filesystem::path& path, std::size_t chunkSize,
                            const std::function<void(std::span<const std::byte>)>& consume) const;
};

}  // namespace lumivo
