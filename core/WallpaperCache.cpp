#include "WallpaperCache.hpp"

#include <openssl/evp.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <system_error>

#include "AsciiText.hpp"
#include "HelperError.hpp"
#include "OwnerLock.hpp"
#include "UnicodeText.hpp"

namespace lumivo {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t hashChunkBytes = 1048576;

// The id goes verbatim into file names, so anything that could leave the
// directory is refused, and so are control characters (a newline in a file
// name breaks every line-based listing of the directory).
void requireSafeID(const std::string& id) {
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7f; };
    if (id.empty() || id == "." || id == ".." || id.find('/') != std::string::npos ||
        std::any_of(id.begin(), id.end(), isControl)) {
        throw HelperError::badID();
    }
}

// The first `count` user-perceived characters of a UTF-8 text, so that a
// multi-byte character is never cut in half.
std::string prefixCharacters(const std::string& text, std::size_t count) {
    std::string prefix;
    try {
        for (const std::string& character : userCharacters(text, count)) {
            prefix += character;
        }
    } catch (const std::runtime_error& error) {
        throw HelperError::cacheFailed(error.what());
    }
    return prefix;
}

std::string randomUUID() {
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_upper(uuid, text);
    return text;
}

// The files of one download share the stem ".<id>-<UUID>.download": the
// temporary itself, its owner's lock (ownerLockSuffix) and a downloader's own
// partial files (another suffix). Returns the stem, or nothing for any other
// name.
std::optional<std::string> temporaryDownloadStem(const std::string& name) {
    static const std::regex pattern(
        R"((\.[\s\S]+-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\.download)[\s\S]*)");
    std::smatch match;
    if (!std::regex_match(name, match, pattern)) {
        return std::nullopt;
    }
    return match[1].str();
}

constexpr const char* ownerLockSuffix = ".lock";

void throwIfStopped(const std::stop_token& stop) {
    if (stop.stop_requested()) {
        throw HelperError::downloadCancelled();
    }
}

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

WallpaperCache::WallpaperCache(fs::path root, std::unique_ptr<FileDownloading> downloader,
                               FileManager& fileManager)
    : root_(std::move(root)), downloader_(std::move(downloader)), fileManager_(fileManager) {}

WallpaperCache::WallpaperCache(std::unique_ptr<FileDownloading> downloader,
                               FileManager& fileManager)
    : WallpaperCache(defaultRoot(fileManager), std::move(downloader), fileManager) {}

fs::path WallpaperCache::defaultRoot(const FileManager& fileManager) {
    const std::optional<fs::path> base = fileManager.userCacheDirectory();
    if (!base) {
        throw HelperError::cacheFailed("Application Support directory is unavailable.");
    }
    return *base / "Lumivo" / "wallpapers";
}

fs::path WallpaperCache::cacheURL(const WallpaperRecord& record) const {
    requireSafeID(record.id());
    const std::string digestPrefix = prefixCharacters(record.sha256(), 12);
    if (digestPrefix.find('/') != std::string::npos ||
        digestPrefix.find('\0') != std::string::npos) {
        throw HelperError::badChecksum();
    }
    return root_ / (record.id() + "-" + digestPrefix + ".mp4");
}

fs::path WallpaperCache::localFile(const WallpaperRecord& record, const DownloadPolicy& policy,
                                   std::stop_token stop) {
    policy.validate(record);
    const fs::path target = cacheURL(record);
    throwIfStopped(stop);

    try {
        fileManager_.createDirectories(root_);
    } catch (const std::system_error& error) {
        throw HelperError::cacheFailed(std::string(error.what()) + ".");
    }
    removeLeftoverDownloads();

    if (isValidCachedFile(target, record.sha256(), stop)) {
        return target;
    }
    fileManager_.removeItem(target);

    const std::string stem = "." + record.id() + "-" + randomUUID() + ".download";
    const fs::path temporary = root_ / stem;
    // Held until the temporary is installed or removed, so that another
    // process's sweep leaves this download alone while this process lives.
    std::optional<OwnerLock> owner;
    try {
        owner.emplace(root_ / (stem + ownerLockSuffix));
    } catch (const std::system_error& error) {
        throw HelperError::cacheFailed(std::string(error.what()) + ".");
    }
    try {
        downloader_->download(record.videoUrl(), temporary, DownloadPolicy::defaultMaxBytes, stop);
    } catch (...) {
        // A well-behaved downloader leaves nothing behind; make sure of it.
        fileManager_.removeItem(temporary);
        throw;
    }

    try {
        const std::optional<std::int64_t> size = fileManager_.fileSize(temporary);
        if (size && *size > DownloadPolicy::defaultMaxBytes) {
            throw HelperError::badDownloadSize();
        }
        if (!equalIgnoringASCIICase(sha256Hex(temporary, stop), record.sha256())) {
            throw HelperError::checksumMismatch();
        }
        // Nothing goes under the final name once the download was stopped.
        throwIfStopped(stop);
        try {
            // rename() replaces a stale file at the target atomically.
            fileManager_.moveItem(temporary, target);
        } catch (const std::system_error& error) {
            throw HelperError::cacheFailed(std::string(error.what()) + ".");
        }
    } catch (...) {
        fileManager_.removeItem(temporary);
        throw;
    }
    return target;
}

bool WallpaperCache::isValidCachedFile(const fs::path& file, std::string_view expectedSHA256,
                                       std::stop_token stop) const {
    if (!fileManager_.isReadableFile(file)) {
        return false;
    }
    try {
        return equalIgnoringASCIICase(sha256Hex(file, stop), expectedSHA256);
    } catch (...) {
        // A stop is no verdict on the file, which must not go for it.
        throwIfStopped(stop);
        return false;
    }
}

std::string WallpaperCache::sha256Hex(const fs::path& file, const std::stop_token& stop) const {
    std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        throw HelperError::cacheFailed("SHA-256 is unavailable.");
    }
    bool opened = false;
    try {
        opened =
            fileManager_.readChunks(file, hashChunkBytes, [&](std::span<const std::byte> chunk) {
                // A digest of a large file takes a while; a stop ends it between chunks.
                throwIfStopped(stop);
                EVP_DigestUpdate(context.get(), chunk.data(), chunk.size());
            });
    } catch (const std::system_error& error) {
        throw HelperError::cacheFailed(std::string(error.what()) + ".");
    }
    if (!opened) {
        throw HelperError::unreadableFile();
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(hex[digest[i] >> 4]);
        text.push_back(hex[digest[i] & 0x0f]);
    }
    return text;
}

void WallpaperCache::removeLeftoverDownloads() const {
    std::map<std::string, std::vector<std::string>> downloads;  // by stem
    for (std::string& name : fileManager_.regularFileNames(root_)) {
        if (const auto stem = temporaryDownloadStem(name)) {
            downloads[*stem].push_back(std::move(name));
        }
    }
    const auto cutoff = fs::file_time_type::clock::now() - leftoverAge;
    for (auto& [stem, names] : downloads) {
        const std::string lock = stem + ownerLockSuffix;
        // The owner locks before it creates any other file of the download,
        // so a lock that is not held beside such a file means its owner died.
        // A lock alone may be one being created: it only goes once old.
        const bool owned = std::find(names.begin(), names.end(), lock) != names.end();
        if (owned && names.size() > 1) {
            if (OwnerLock::isHeld(root_ / lock)) {
                continue;
            }
            std::stable_partition(names.begin(), names.end(),
                                  [&lock](const std::string& name) { return name != lock; });
            for (const std::string& name : names) {  // the lock last
                fileManager_.removeItem(root_ / name);
            }
            continue;
        }
        for (const std::string& name : names) {
            const auto modified = fileManager_.modificationDate(root_ / name);
            if (modified && *modified < cutoff) {
                fileManager_.removeItem(root_ / name);
            }
        }
    }
}

}  // namespace lumivo
