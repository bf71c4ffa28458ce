#pragma once

#include <chrono>
#include <cstddef>

#include "ManifestDataLoading.hpp"

namespace lumivo {

// Reads a manifest from a file: URL (the local file, which must have an
// absolute path) or an https: URL (libcurl: https only, also across at most
// 5 redirects; system CAs or SSL_CERT_FILE; 30 s connect and `idleTimeout`
// idle time-outs; any final status outside 2xx fails). Content longer than
// `maxBytes` is refused from either source. Every failure is thrown as
// HelperError::manifestLoadFailed with a reason. Safe to use from several
// threads at once.
class URLManifestDataLoader : public ManifestDataLoading {
  public:
    static constexpr std::size_t defaultMaxBytes = 64 * 1024 * 1024;
    static constexpr std::chrono::seconds defaultIdleTimeout{60};

    explicit URLManifestDataLoader(std::size_t maxBytes = defaultMaxBytes,
                                   std::chrono::seconds idleTimeout = defaultIdleTimeout)
        : maxBytes_(maxBytes), idleTimeout_(idleTimeout) {}

    // Throws HelperError::manifestLoadCancelled() when a stop requested on
    // `stop` ended an HTTPS load, whenever it came: also while connecting or
    // while the server sends nothing. Reading a file: URL is not affected.
    std::string loadData(const Url& url, std::stop_token stop) override;

  private:
    std::string readFile(const Url& url) const;
    std::string fetch(const Url& url, std::stop_token stop) const;

    std::size_t maxBytes_;
    std::chrono::seconds idleTimeout_;
};

}  // namespace lumivo
