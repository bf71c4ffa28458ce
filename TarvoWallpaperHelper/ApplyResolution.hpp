#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "BlockingWorker.hpp"
#include "LastWallpaper.hpp"
#include "Outcome.hpp"
#include "PostedReports.hpp"
#include "WallpaperResolver.hpp"

namespace lumivo {

// The part of an apply that runs on the worker: the resolver finds the record
// and the video there, with the apply's log lines and download progress
// posted to the GUI thread. Also decides which applies a stop cuts short:
// each apply carries the stop token current when it arrived, so a stop
// reaches exactly the applies that arrived before it, wherever they are
// (waiting, resolving, downloading or hashing), and none after it.
// GUI thread only; the tokens may be read anywhere.
class ApplyResolution {
  public:
    using InstallProgress =
        std::function<void(std::function<void(std::int64_t received, std::int64_t expected)>)>;
    // The resolution's outcome and whether a stop came for its apply
    // meanwhile, in which case the outcome is to be dropped quietly.
    using Done = std::function<void(const Outcome<ResolvedWallpaper>& resolved, bool cancelled)>;

    // An entry of Recent Wallpapers to play again from its file. When the
    // file fails its checks, the user's own choice is applied from the
    // gallery instead (`orGallery`); a change of the rotation, which never
    // downloads, is dropped.
    struct FromFile {
        LastWallpaper entry;
        bool orGallery = true;
    };

    // `installProgress` (may be empty) connects the downloader's progress to
    // the resolver; the sinks receive the reports on `context`'s thread.
    ApplyResolution(QObject* context, WallpaperResolver& resolver, BlockingWorker& worker,
                    const InstallProgress& installProgress, PostedReports::LogSink log,
                    PostedReports::ProgressSink progress);

    // The token for an apply that arrives now.
    std::stop_token arrived() const { return current_.get_token(); }
    // Cuts short every apply that has arrived so far: those that wait end
    // before they start, the running one at once. Later applies go on.
    void stop();

    // Resolves `id` on the worker and hands the outcome to `done` on the GUI
    // thread. A stop on `token` ends the resolution early. With `recent`, an
    // entry of Recent Wallpapers for `id`, its file plays again once it passes
    // the checks of a restore there, without a manifest or a download; a file
    // that fails them is logged in one line, and then `id` resolved as above,
    // or, unless `orGallery`, the apply ends as a cancelled one.
    void resolve(const std::string& id, const std::optional<FromFile>& recent,
                 std::stop_token token, Done done);

  private:
    QObject* context_;
    WallpaperResolver& resolver_;
    BlockingWorker& worker_;
    PostedReports::LogSink log_;
    PostedReports::ProgressSink progress_;
    std::stop_source current_;
};

}  // namespace lumivo
