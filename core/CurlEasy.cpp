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

// libcurl's progress callback: a non-zero return aborts the transfer.
int abortOnStop(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(stop)->stop_requested() ? 1 : 0;
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

std::string CurlEasy::perform(std::stop_token stop) {
    errorBuffer_[0] = '\0';
    cancelled_ = false;
    CURL* easy = handle_.get();
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &abortOnStop);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &stop);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);

    // Driven here rather than by curl_easy_perform so that a stop can wake
    // the wait for the network at once. Every pass of libcurl's state machine
    // then runs the progress callback, which aborts the transfer: also while
    // it resolves or connects, and before a request goes out when the stop
    // came first.
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                      curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
        resultCode_ = CURLE_OUT_OF_MEMORY;
        return "libcurl could not start a transfer";
    }
    const std::stop_callback wake(stop, [handle = multi.get()] { curl_multi_wakeup(handle); });
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
        if (step == CURLM_OK) {
            // libcurl waits less when one of its own timers is due sooner.
            step = curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
        }
        if (step != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            multiFailure = curl_multi_strerror(step);
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), easy);

    resultCode_ = code;
    // The abort, or what a write callback refused halfway, is the stop's doing.
    cancelled_ = code != CURLE_OK && stop.stop_requested();
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
