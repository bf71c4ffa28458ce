#pragma once

#include <mpv/client.h>

#include <QObject>
#include <QString>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lumivo {

class MpvLibrary;

// One libmpv instance playing one local file muted and looping forever, drawn
// inside an existing X11 window and cropped to fill it. Lives on the GUI thread
// and never waits for mpv there, except in the destructor, which shuts mpv down
// completely (threads, decoder, video output) before it returns.
class MpvPlayer : public QObject {
    Q_OBJECT
  public:
    // Starts loading `file` into `window`; the first player loads libmpv.
    // Failures are reported through playbackFailed after the constructor has
    // returned, never thrown.
    // LUMIVO_MPV_VO, when set, picks mpv's video output (e.g. "x11" under Xvfb).
    MpvPlayer(WId window, const std::filesystem::path& file);
    ~MpvPlayer() override;

    MpvPlayer(const MpvPlayer&) = delete;
    MpvPlayer& operator=(const MpvPlayer&) = delete;

  signals:
    // The first frame of the file is on screen (once per player).
    void firstFrameShown();
    // libmpv could not be loaded, mpv could not be set up, or it could not open
    // or decode the file; the window stays black. `reason` is mpv's own
    // description, or the loader's.
    void playbackFailed(const QString& reason);

  private:
    struct Terminate {
        void operator()(mpv_handle* handle) const;
    };

    void configure(WId window);
    void failLater(const QString& reason);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void reportFailure();

    const MpvLibrary& api_;
    std::unique_ptr<mpv_handle, Terminate> mpv_;
    // Coalesces wakeups: at most one drain is queued on the GUI thread at a time.
    std::atomic<bool> drainQueued_{false};
    bool frameShown_ = false;
    std::optional<int> failureCode_;  // mpv's error code once loading failed
    bool failed_ = false;             // playbackFailed has been emitted
    // The first error mpv logged for this file: the detail behind an error code.
    std::string firstErrorLine_;
};

}  // namespace lumivo
