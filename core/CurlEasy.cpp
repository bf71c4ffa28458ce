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

bool CurlEasy::Canceller::cancel() noexcept {
    // A transfer draws its number before it counts as running, so every
    // running transfer is numbered below `limit`.
    if (running_.load() == 0) {
        return false;
    }
    const std::uint64_t limit = started_.load();
    std::uint64_t current = cancelledBelow_.load();
    while (current < limit && !cancelledBelow_.compare_exchange_weak(current, limit)) {
    }
    return true;
}

std::string CurlEasy::perform(Canceller* canceller) {
    errorBuffer_[0] = '\0';
    cancelled_ = false;
    std::uint64_t number = 0;
    if (canceller != nullptr) {
        number = canceller->started_.fetch_add(1);
        canceller->running_.fetch_add(1);
    }
    struct Finished {
        Canceller* canceller;
        ~Finished() {
            if (canceller != nullptr) {
                canceller->running_.fetch_sub(1);
            }
        }
    } finished{canceller};
    const auto cancelRequested = [&] {
        return canceller != nullptr && canceller->cancelledBelow_.load() > number;
    };

    // The transfer is driven here rather than by curl_easy_perform, whose
    // wait between checks can last a second while nothing arrives, so that
    // a cancel is noticed within cancelLatency in every phase.
    CURL* easy = handle_.get();
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                      curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
        resultCode_ = CURLE_OUT_OF_MEMORY;
        return "libcurl could not start a transfer";
    }
    CURLcode code = CURLE_OK;
    std::string multiFailure;
    for (;;) {
        int active = 0;
        CURLMcode step = curl_multi_perform(multi.get(), &active);
        if (step == CURLM_OK && active == 0) {
            int queued = 0;
            const CURLMsg* message = curl_multi_info_read(multi.get(), &queued);
            code = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result
                                                                      : CURLE_RECV_ERROR;
            break;
        }
        if (step == CURLM_OK && cancelRequested()) {
            cancelled_ = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (step == CURLM_OK) {
            step = curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(cancelLatency.count()),
                                   nullptr);
        }
        if (step != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            multiFailure = curl_multi_strerror(step);
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), easy);

    resultCode_ = code;
    if (code == CURLE_OK) {
        return {};
    }
    if (!multiFailure.empty()) {
        return multiFailure;
    }
    if (errorBuffer_[0] != '\0' && !cancelled_) {
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
