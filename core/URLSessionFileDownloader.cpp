#include "URLSessionFileDownloader.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <system_error>

#include "FileDescriptor.hpp"
#include "HelperError.hpp"

namespace lumivo {

namespace fs = std::filesystem;

namespace {

// Progress is reported at most once per this many bytes, and at the end.
constexpr std::int64_t progressStep = 1 << 20;
// Larger reads than libcurl's 16 KiB default cut the per-chunk overhead.
constexpr long receiveBufferBytes = 256 * 1024;

// The partial body, open for writing under a unique name beside the
// destination. Removed on destruction unless it was renamed into place.
class PartialFile {
  public:
    PartialFile(const fs::path& destination, FileManager& fileManager) : fileManager_(fileManager) {
        std::random_device random;
        const fs::path directory = destination.parent_path();
        for (int attempt = 0; attempt < 16; ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
            path_ = directory / (destination.filename().string() + suffix);
            fd_ = FileDescriptor(
                ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (fd_.isOpen() || errno != EEXIST) {
                break;
            }
        }
        if (!fd_.isOpen()) {
            const std::string where =
                directory.empty() ? "the current directory" : directory.string();
            throw HelperError::downloadFailed("Could not create a file in " + where + ": " +
                                              errnoText(errno) + ".");
        }
    }
    ~PartialFile() {
        fd_.close();
        if (!installed_) {
            fileManager_.removeItem(path_);
        }
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    // Writes all of `data`; returns the errno of a failed write, or 0.
    int write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_.get(), data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return 0;
    }

    // Closes the file (a delayed write error surfaces here) and renames it to
    // `destination`, replacing what was there. Throws downloadFailed.
    void install(const fs::path& destination) {
        if (const int error = fd_.close(); error != 0) {
            throw HelperError::downloadFailed("Could not write " + destination.string() + ": " +
                                              errnoText(error) + ".");
        }
        try {
            fileManager_.moveItem(path_, destination);
        } catch (const std::system_error& error) {
            throw HelperError::downloadFailed(std::string(error.what()) + ".");
        }
        installed_ = true;
    }

  private:
    FileManager& fileManager_;
    fs::path path_;
    FileDescriptor fd_;
    bool installed_ = false;
};

// What the libcurl callbacks share with download() for one transfer.
struct Transfer {
    CURL* handle = nullptr;
    PartialFile* file = nullptr;
    std::int64_t maxBytes = 0;
    std::int64_t received = 0;
    std::int64_t expected = -1;
    bool expectedKnown = false;
    std::int64_t lastReported = -1;
    URLSessionFileDownloader::ProgressHandler progress;
    bool capExceeded = false;
    int writeError = 0;

    void report() {
        if (!progress || lastReported == received) {
            return;
        }
        lastReported = received;
        try {
            progress(received, expected);
        } catch (...) {
            // A failing observer must not unwind through libcurl's C frames.
        }
    }
};

std::size_t receive(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    if (!transfer.expectedKnown) {
        curl_off_t announced = -1;
        curl_easy_getinfo(transfer.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        transfer.expected = announced;
        transfer.expectedKnown = true;
    }
    // Not one byte past the cap reaches the disk, whether or not a length
    // was announced.
    if (transfer.expected > transfer.maxBytes ||
        static_cast<std::int64_t>(length) > transfer.maxBytes - transfer.received) {
        transfer.capExceeded = true;
        return 0;
    }
    if (const int error = transfer.file->write(data, length); error != 0) {
        transfer.writeError = error;
        return 0;
    }
    transfer.received += static_cast<std::int64_t>(length);
    if (transfer.received - transfer.lastReported >= progressStep ||
        transfer.received == transfer.expected) {
        transfer.report();
    }
    return length;
}

}  // namespace

URLSessionFileDownloader::URLSessionFileDownloader(FileManager& fileManager,
                                                   std::chrono::seconds idleTimeout)
    : fileManager_(fileManager), idleTimeout_(idleTimeout) {}

void URLSessionFileDownloader::setProgressHandler(ProgressHandler handler) {
    std::lock_guard lock(handlerMutex_);
    progressHandler_ = std::move(handler);
}

void URLSessionFileDownloader::download(const Url& from, const fs::path& to, std::int64_t maxBytes,
                                        std::stop_token stop) {
    if (maxBytes < 0) {
        throw HelperError::badDownloadSize();
    }
    if (busy_.exchange(true)) {
        throw HelperError::downloadFailed("Another download is already running.");
    }
    struct Finished {
        std::atomic<bool>& busy;
        ~Finished() { busy.store(false); }
    } finished{busy_};

    Transfer transfer;
    {
        std::lock_guard lock(handlerMutex_);
        transfer.progress = progressHandler_;
    }
    transfer.maxBytes = maxBytes;

    PartialFile file(to, fileManager_);
    transfer.file = &file;

    std::optional<CurlEasy> easy;
    try {
        easy.emplace(from.absoluteString(), idleTimeout_);
    } catch (const std::runtime_error& error) {
        throw HelperError::downloadFailed(std::string(error.what()) + ".");
    }
    CurlEasy& curl = *easy;
    CURL* handle = curl.get();
    transfer.handle = handle;
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, receiveBufferBytes);

    const std::string failure = curl.perform(std::move(stop));
    if (curl.cancelled()) {
        throw HelperError::downloadCancelled();
    }
    if (transfer.capExceeded || curl.resultCode() == CURLE_FILESIZE_EXCEEDED) {
        throw HelperError::badDownloadSize();
    }
    if (transfer.writeError != 0) {
        throw HelperError::downloadFailed("Could not write " + to.string() + ": " +
                                          errnoText(transfer.writeError) + ".");
    }
    if (!failure.empty()) {
        throw HelperError::downloadFailed(failure);
    }
    file.install(to);
    transfer.report();
}

}  // namespace lumivo
