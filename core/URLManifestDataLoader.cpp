#include "URLManifestDataLoader.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "CurlEasy.hpp"
#include "HelperError.hpp"

namespace lumivo {

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string errnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string tooLarge(std::size_t maxBytes) {
    return "the manifest is larger than " + std::to_string(maxBytes) + " bytes";
}

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

// Collects a response body, refusing more than `maxBytes`.
struct BodySink {
    std::string body;
    std::size_t maxBytes;
    bool overflowed = false;

    static std::size_t write(char* data, std::size_t size, std::size_t count, void* context) {
        auto* sink = static_cast<BodySink*>(context);
        const std::size_t length = size * count;
        if (length > sink->maxBytes - sink->body.size()) {
            sink->overflowed = true;
            return 0;  // makes libcurl abort the transfer
        }
        sink->body.append(data, length);
        return length;
    }
};

}  // namespace

std::string URLManifestDataLoader::loadData(const Url& url) {
    const auto scheme = url.scheme();
    if (!scheme) {
        throw HelperError::manifestLoadFailed("the manifest location has no scheme: " +
                                              url.absoluteString());
    }
    const std::string lowered = lowercase(*scheme);
    if (lowered == "file") {
        return readFile(url);
    }
    if (lowered == "https") {
        return fetch(url);
    }
    throw HelperError::manifestLoadFailed("unsupported URL scheme \"" + *scheme +
                                          "\"; only https and file URLs are read");
}

std::string URLManifestDataLoader::readFile(const Url& url) const {
    if (const auto host = url.host(); host && lowercase(*host) != "localhost") {
        throw HelperError::manifestLoadFailed("file URL names another host: " + *host);
    }
    const std::string path = url.path();
    if (path.empty() || path.front() != '/') {
        throw HelperError::manifestLoadFailed("file URL has no absolute path: " +
                                              url.absoluteString());
    }
    // A decoded %00 would silently cut the path short at the system call.
    if (path.find('\0') != std::string::npos) {
        throw HelperError::manifestLoadFailed("file URL path contains a NUL byte: " +
                                              url.absoluteString());
    }
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        throw HelperError::manifestLoadFailed(path + ": " + errnoText(errno));
    }
    std::string content;
    struct stat status {};
    if (::fstat(file.fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        content.reserve(std::min<std::size_t>(static_cast<std::size_t>(status.st_size), maxBytes_));
    }
    // The limit is enforced while reading (not from the size above), so
    // pipes, devices and files that grow while being read are bounded too.
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw HelperError::manifestLoadFailed(path + ": " + errnoText(errno));
        }
        if (got == 0) {
            break;
        }
        if (static_cast<std::size_t>(got) > maxBytes_ - content.size()) {
            throw HelperError::manifestLoadFailed(path + ": " + tooLarge(maxBytes_));
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

std::string URLManifestDataLoader::fetch(const Url& url) {
    BodySink sink{{}, maxBytes_};
    std::string error;
    long status = 0;
    try {
        CurlEasy curl(url.absoluteString(), idleTimeout_);
        CURL* h = curl.get();
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &BodySink::write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        error = curl.perform(&canceller_);
        if (curl.cancelled()) {
            throw HelperError::manifestLoadCancelled();
        }
        status = curl.responseCode();
    } catch (const std::runtime_error& failure) {
        throw HelperError::manifestLoadFailed(failure.what());
    }
    if (sink.overflowed) {
        throw HelperError::manifestLoadFailed(tooLarge(maxBytes_));
    }
    if (status >= 400 || (error.empty() && (status < 200 || status > 299))) {
        throw HelperError::manifestLoadFailed("HTTP " + std::to_string(status));
    }
    if (!error.empty()) {
        throw HelperError::manifestLoadFailed(error);
    }
    return std::move(sink.body);
}

}  // namespace lumivo
