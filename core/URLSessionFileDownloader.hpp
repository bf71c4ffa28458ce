#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "CurlEasy.hpp"
#include "FileDownloading.hpp"
#include "FileManager.hpp"

namespace lumivo {

// Downloads over HTTPS with libcurl, streaming the body into a private
// temporary file beside the destination that is renamed into place only on
// success: after a failure the destination is as it was before. The byte cap
// holds at the byte. One download at a time per instance;
// setProgressHandler() may be called from any thread.
class URLSessionFileDownloader : public FileDownloading {
  public:
    // Called on the downloading thread with the bytes received so far and the
    // announced length, or -1 when the server announced none.
    using ProgressHandler = std::function<void(std::int64_t received, std::int64_t expected)>;

    // `idleTimeout`: abort when no byte arrives for this long.
    explicit URLSessionFileDownloader(
        FileManager& fileManager, std::chrono::seconds idleTimeout = CurlEasy::defaultIdleTimeout);

    // Throws badDownloadSize when the announced length or the bytes received
    // exceed `maxBytes` (exactly `maxBytes` passes); downloadFailed with
    // libcurl's detailed error text on a transport failure, or with the
    // file-system error; HelperError::downloadCancelled() once a stop was
    // requested on `stop`, whenever it came. The HTTP status is not examined:
    // an error page is saved like any other body.
    void download(const Url& from, const std::filesystem::path& to, std::int64_t maxBytes,
                  std::stop_token stop) override;

    // Replaces the handler used by downloads that start afterwards.
    void setProgressHandler(ProgressHandler handler);

  private:
    FileManager& fileManager_;
    std::chrono::seconds idleTimeout_;
    std::atomic<bool> busy_{false};
    std::mutex handlerMutex_;
    ProgressHandler progressHandler_;
};

}  // namespace lumivo
