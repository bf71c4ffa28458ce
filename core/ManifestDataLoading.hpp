#pragma once

#include <stop_token>
#include <string>

#include "Url.hpp"

namespace lumivo {

// The seam through which a ManifestStore reads a manifest's bytes.
// Implementations must be safe to call from any thread.
class ManifestDataLoading {
  public:
    virtual ~ManifestDataLoading() = default;
    // The whole content at `url`. Throws on any failure (a HelperError, or any
    // std::exception whose what() describes the failure). A stop requested on
    // `stop` may end a load early, with an error.
    virtual std::string loadData(const Url& url, std::stop_token stop) = 0;
};

}  // namespace lumivo
