#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "WallpaperRecord.hpp"

namespace lumivo {

// The gate a record must pass before its video is fetched: HTTPS from an
// allowed host, MP4 only, a declared size within the limit and a well-formed
// digest. An immutable value; validate() is pure and safe on any thread.
class DownloadPolicy {
  public:
    // 300 MiB, the cap every download is held to.
    static constexpr std::int64_t defaultMaxBytes = 314572800;

    // Stores both values unchanged; an empty host set or a non-positive limit
    // simply refuses every record later.
    DownloadPolicy(std::set<std::string> allowedHosts, std::int64_t maxBytes);

    // Returns when the record is acceptable; otherwise throws the HelperError
    // of the first rule it breaks, in this order: scheme, host, path
    // extension, declared format, declared size, digest text.
    void validate(const WallpaperRecord& record) const;

  private:
    std::set<std::string> allowedHosts_;
    std::int64_t maxBytes_;
};

}  // namespace lumivo
