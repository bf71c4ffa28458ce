#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lumivo {

class MpvLibrary;
class RenderPath;

// One libmpv instance playing one local file muted and looping forever through
// the render API (vo=libmpv): mpv decodes and never opens a window of its own;
// `path` draws its frames. Lives on the GUI thread and never waits for mpv
// there, except in the destructor, which shuts mpv down completely (threads,
// decoder, render context) before it returns. `path` must outlive it.
class MpvPlayer : public QObject {
    Q_OBJECT
  public:
    // Starts loading `file`; the first player loads libmpv. Failures are
    // reported through playbackFailed after the constructor has returned,
    // never thrown.
    MpvPlayer(const std::filesystem::path& file, RenderPath& path);
    ~MpvPlayer() override;

    // The render context, or null when mpv could not be set up.
    mpv_render_context* renderContext() const { return context_; }
    const MpvLibrary& api() const { return api_; }
    // Pauses or resumes decoding; the current frame stays.
    void setPaused(bool paused);

    MpvPlayer(const MpvPlayer&) = delete;
    MpvPlayer& operator=(const MpvPlayer&) = delete;

  signals:
    // mpv has a new frame (or wants the current one drawn again): render it.
    // Queued from mpv's thread, at most one pending at a time.
    void frameDue();
    // The video's display size (after aspect correction) is known or changed.
    void videoSizeChanged(int width, int height);
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

    void configure(const std::string& path);
    void failLater(const QString& reason);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void reportFailure();
    // Sets the threads of the decode from the video streams in the header of
    // the file at `path` (see DecodeThreads); before mpv_initialize.
    void chooseThreads(const std::string& path);

    const MpvLibrary& api_;
    RenderPath& path_;
    std::unique_ptr<mpv_handle, Terminate> mpv_;
    mpv_render_context* context_ = nullptr;  // freed before mpv_
    // Coalesce wakeups: at most one drain and one frame are queued at a time.
    std::atomic<bool> drainQueued_{false};
    std::atomic<bool> frameQueued_{false};
    bool frameShown_ = false;
    long long videoWidth_ = 0;
    long long videoHeight_ = 0;
    std::optional<int> failureCode_;  // mpv's error code once loading failed
    bool failed_ = false;             // playbackFailed has been emitted
    // The first error mpv logged for this file: the detail behind an error code.
    std::string firstErrorLine_;
};

}  // namespace lumivo
