#pragma once

#include <cstdint>
#include <filesystem>
#include <stop_token>

#include "Url.hpp"

namespace lumivo {

// The seam through which the cache obtains files, so that another
// implementation can stand in for the network.
class FileDownloading {
  public:
    virtual ~FileDownloading() = default;

    // Blocks until the transfer has ended. On return the complete response
    // body is in the file `to`. Throws HelperError: badDownloadSize when the
    // body would exceed `maxBytes`, downloadCancelled() when it ended because
    // a stop was requested on `stop` (before or during the transfer),
    // downloadFailed with a reason otherwise.
    // An implementation that stages the body in a temporary file of its own
    // puts it beside `to` and names it `to`'s file name plus a suffix, so a
    // caller can recognise one left behind by a process that died.
    virtual void download(const Url& from, const std::filesystem::path& to, std::int64_t maxBytes,
                          std::stop_token stop) = 0;
};

}  // namespace lumivo
