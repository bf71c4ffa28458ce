#include "ApplyResolution.hpp"

#include <utility>

namespace lumivo {

ApplyResolution::ApplyResolution(QObject* context, WallpaperResolver& resolver,
                                 BlockingWorker& worker, const InstallProgress& installProgress,
                                 PostedReports::LogSink log, PostedReports::ProgressSink progress)
    : context_(context),
      resolver_(resolver),
      worker_(worker),
      log_(std::move(log)),
      progress_(std::move(progress)) {
    if (installProgress) {
        // The downloader reports on the worker, where the resolver runs.
        installProgress([&resolver](std::int64_t received, std::int64_t expected) {
            resolver.downloadProgressed(received, expected);
        });
    }
}

void ApplyResolution::stop() {
    current_.request_stop();
    current_ = std::stop_source();
}

void ApplyResolution::resolve(const std::string& id, std::stop_token token, Done done) {
    worker_.run(
        context_,
        [this, id, token, reports = PostedReports(context_, log_, progress_)]() mutable {
            return resolver_.resolve(id, reports, token);
        },
        [token, done = std::move(done)](const Outcome<ResolvedWallpaper>& resolved) {
            // Also a stop that came after the resolution ended, before this.
            done(resolved, token.stop_requested());
        });
}

}  // namespace lumivo
