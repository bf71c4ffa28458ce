#include "CurlEasy.hpp"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace lumivo {

namespace {

void ensureGlobalInit() {
    // curl_global_init is not thread-safe; a function-local static is.
    static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) {
        throw std::runtime_error("libcurl could not be initialised");
    }
}

}  // namespace

void CurlEasy::Deleter::operator()(CURL* handle) const {
    curl_easy_cleanup(handle);
}

CurlEasy::CurlEasy(const std::string& url, std::chrono::seconds idleTimeout)
    : errorBuffer_(new char[CURL_ERROR_SIZE]()) {
    ensureGlobalInit();
    handle_.reset(curl_easy_init());
    if (!handle_) {
        throw std::runtime_error("libcurl could not create a transfer");
    }
    CURL* h = handle_.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer_.get());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, maxRedirects);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout.count()));
    // "No byte for idleTimeout": below 1 byte/s for that long aborts.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(idleTimeout.count()));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "LumivoHelper/" LUMIVO_VERSION);
    if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle && *bundle) {
        curl_easy_setopt(h, CURLOPT_CAINFO, bundle);
    }
}

std::string CurlEasy::perform() {
    errorBuffer_[0] = '\0';
    const CURLcode code = curl_easy_perform(handle_.get());
    resultCode_ = code;
    if (code == CURLE_OK) {
        return {};
    }
    if (errorBuffer_[0] != '\0') {
        return errorBuffer_.get();
    }
    return curl_easy_strerror(code);
}

long CurlEasy::responseCode() const {
    long code = 0;
    curl_easy_getinfo(handle_.get(), CURLINFO_RESPONSE_CODE, &code);
    return code;
}

}  // namespace lumivo
