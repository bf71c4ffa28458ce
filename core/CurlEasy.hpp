#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
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
    // The longest a requested cancel waits to be noticed, also while the
    // transfer is resolving, connecting or the server sends nothing.
    static constexpr std::chrono::milliseconds cancelLatency{100};

    // Lets any thread end the transfers that are running, at that moment, on
    // handles performed with this canceller, and nothing else: a cancel that
    // finds nothing running is dropped, so it never reaches a later transfer.
    // Several transfers may share one canceller. Lock-free, hence also safe
    // from a signal handler.
    class Canceller {
      public:
        // Returns whether a transfer was running; it then ends within
        // cancelLatency and its perform() reports cancelled().
        bool cancel() noexcept;

      private:
        friend class CurlEasy;
        // Transfers are numbered in the order they start; cancel() ends every
        // one numbered below the count of transfers started so far.
        std::atomic<std::uint64_t> started_{0};
        std::atomic<std::uint64_t> cancelledBelow_{0};
        std::atomic<std::uint32_t> running_{0};
    };

    // Throws std::runtime_error when libcurl cannot create a handle.
    explicit CurlEasy(const std::string& url,
                      std::chrono::seconds idleTimeout = defaultIdleTimeout);

    CURL* get() const { return handle_.get(); }
    // Runs the transfer. Returns an empty string on success, or libcurl's
    // detailed error text (host, port and cause) on failure. With a
    // `canceller`, its cancel() ends the transfer; cancelled() then holds.
    std::string perform(Canceller* canceller = nullptr);
    // The CURLcode of the last perform(), 0 (CURLE_OK) before the first.
    int resultCode() const { return resultCode_; }
    // Whether the last perform() ended because of Canceller::cancel().
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
