#include "ApplyResolution.hpp"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <utility>

#include "LogText.hpp"

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

void ApplyResolution::resolve(const std::string& id, const std::optional<FromFile>& recent,
                              std::stop_token token, Done done) {
    auto dropped = std::make_shared<std::atomic<bool>>(false);
    worker_.run(
        context_,
        [this, id, recent, token, dropped,
         reports = PostedReports(context_, log_, progress_)]() mutable {
            if (recent) {
                const std::optional<std::string> problem = recent->entry.fileProblem(resolver_);
                if (!problem) {
                    return recent->entry.resolved();
                }
                const std::string cannot = "Cannot play " + escapedLogText(recent->entry.title) +
                                           " from its file: " + *problem;
                if (!recent->orGallery) {
                    reports.log(cannot + " The wallpaper stays as it is.");
                    *dropped = true;
                    throw std::runtime_error(*problem);  // dropped with the outcome
                }
                reports.log(cannot + " Applying it from the gallery.");
            }
            return resolver_.resolve(id, reports, token);
        },
        [token, dropped, done = std::move(done)](const Outcome<ResolvedWallpaper>& resolved) {
            // Also a stop that came after the resolution ended, before this.
            done(resolved, token.stop_requested() || *dropped);
        });
}

}  // namespace lumivo
