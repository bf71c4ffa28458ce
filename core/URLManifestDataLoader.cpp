#include "URLManifestDataLoader.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "AsciiText.hpp"
#include "CurlEasy.hpp"
#include "FileDescriptor.hpp"
#include "HelperError.hpp"
#include "ManifestDecoder.hpp"

namespace lumivo {

namespace {

std::string tooLarge(std::size_t maxBytes) {
    return "the manifest is larger than " + std::to_string(maxBytes) + " bytes";
}

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

std::string URLManifestDataLoader::loadData(const Url& url, std::stop_token stop) {
    const auto scheme = url.scheme();
    if (!scheme) {
        throw HelperError::manifestLoadFailed("the manifest location has no scheme: " +
                                              url.absoluteString());
    }
    const std::string lowered = asciiLowercased(*scheme);
    if (lowered == "file") {
        return readFile(url);
    }
    if (lowered == "https") {
        return fetch(url, std::move(stop));
    }
    throw HelperError::manifestLoadFailed("unsupported URL scheme \"" + *scheme +
                                          "\"; only https and file URLs are read");
}

std::string URLManifestDataLoader::readFile(const Url& url) const {
    if (const auto host = url.host(); host && asciiLowercased(*host) != "localhost") {
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
    // O_NONBLOCK: opening a FIFO must not wait for a writer. It changes
    // nothing for the regular file that is read.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isOpen()) {
        throw HelperError::manifestLoadFailed(path + ": " + errnoText(errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        throw HelperError::manifestLoadFailed(path + ": " + errnoText(errno));
    }
    // A FIFO or a device could block or never end.
    if (!S_ISREG(status.st_mode)) {
        throw HelperError::manifestLoadFailed(path + ": not a regular file");
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    if (size > maxBytes_) {
        throw HelperError::manifestLoadFailed(path + ": " + tooLarge(maxBytes_));
    }
    // One read into a buffer of the final size, with room for the parser's
    // padding behind it, so that the decoder parses it in place.
    std::string content;
    content.reserve(size + ManifestDecoder::padding);
    content.resize(size);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(file.get(), content.data() + filled, size - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw HelperError::manifestLoadFailed(path + ": " + errnoText(errno));
        }
        if (got == 0) {
            break;  // the file shrank since fstat
        }
        filled += static_cast<std::size_t>(got);
    }
    // A file that grew since fstat would be cut short; refuse it instead.
    char probe = 0;
    if (filled == size && ::read(file.get(), &probe, 1) > 0) {
        throw HelperError::manifestLoadFailed(path + ": the file changed while it was read");
    }
    content.resize(filled);
    return content;
}

std::string URLManifestDataLoader::fetch(const Url& url, std::stop_token stop) const {
    BodySink sink{{}, maxBytes_};
    std::string error;
    long status = 0;
    try {
        CurlEasy curl(url.absoluteString(), idleTimeout_);
        CURL* h = curl.get();
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &BodySink::write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        error = curl.perform(std::move(stop));
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
