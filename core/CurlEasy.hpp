#pragma once

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>

typedef void CURL;

namespace lumivo {

// One libcurl easy handle set up for the helper's HTTPS transfers, shared by
// the manifest loader and the file downloader so both follow one policy:
// https only, also across redirects (at most 5); the system CA store, or the
// bundle named by SSL_CERT_FILE when that is set; a 30 s connect time-out; and
// an abort when no byte arrives for `idleTimeout`. Not thread-safe: one
// transfer at a time per handle.
class CurlEasy {
  public:
    static constexpr std::chrono::seconds defaultIdleTimeout{60};
    static constexpr std::chrono::seconds connectTimeout{30};
    static constexpr long maxRedirects = 5;

    // Throws std::runtime_error when libcurl cannot create a handle.
    explicit CurlEasy(const std::string& url,
                      std::chrono::seconds idleTimeout = defaultIdleTimeout);

    CURL* get() const { return handle_.get(); }
    // Runs the transfer. Returns an empty string on success, or libcurl's
    // detailed error text (host, port and cause) on failure. A stop requested
    // on `stop` from any thread ends the transfer at once, also while it
    // resolves, connects or waits for the server; one requested before it
    // begins ends it before a request is sent. A transfer that fails once a
    // stop was requested counts as cancelled().
    std::string perform(std::stop_token stop = {});
    // The CURLcode of the last perform(), 0 (CURLE_OK) before the first.
    int resultCode() const { return resultCode_; }
    // Whether the last perform() ended because a stop was requested.
    bool cancelled() const { return cancelled_; }
    // The HTTP status of the last response, 0 when none was received.
    long responseCode() const;

  private:
    struct Deleter {
        void operator()(CURL* handle) const;
    };
    std::unique_ptr<CURL, Deleter> handle_;
    std::unique_ptr<char[]> errorBuffer_;
    int resultCode_ = 0;
    bool cancelled_ = false;
};

}  // namespace lumivo
