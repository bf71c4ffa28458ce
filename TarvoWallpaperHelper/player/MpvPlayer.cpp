#include "MpvPlayer.hpp"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "DecodeThreads.hpp"
#include "MpvLibrary.hpp"
#include "NumericLocale.hpp"
#include "RenderPath.hpp"
#include "VideoHeader.hpp"

namespace lumivo {
namespace {

// Everything is set before mpv_initialize, so nothing from the user's mpv
// configuration, scripts or key bindings can change how a wallpaper behaves.
constexpr std::pair<const char*, const char*> kOptions[] = {
    // Frames go only to our render context: mpv never probes an output of
    // its own, so it can never open a window (SDL, x11, ...) either.
    {"vo", "libmpv"},
    {"aid", "no"},  // never decode or output audio
    {"sid", "no"},  // a wallpaper shows no subtitles
    {"loop-file", "inf"},
    {"idle", "yes"},     // after a failed load keep the instance (and black window)
    {"panscan", "1.0"},  // fill each canvas, cropping the overflow
    {"keepaspect", "yes"},
    {"stop-screensaver", "no"},  // a wallpaper must never keep the screen awake
    {"force-window", "no"},
    {"load-scripts", "no"},
    // mpv's built-in scripts each run on a thread of their own; a wallpaper
    // has no use for the stats overlay, the console or auto profiles.
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"config", "no"},
    // A file that is really a playlist or a reference must not lead mpv to
    // open other files or network streams.
    {"access-references", "no"},
};

constexpr int kFailureDetailGraceMs = 100;
constexpr uint64_t kVideoWidth = 1;  // reply ids of the observed properties
constexpr uint64_t kVideoHeight = 2;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

void MpvPlayer::Terminate::operator()(mpv_handle* handle) const {
    MpvLibrary::instance().mpv_terminate_destroy(handle);
}

MpvPlayer::MpvPlayer(const std::filesystem::path& file, RenderPath& renderPath)
    : api_(MpvLibrary::instance()), path_(renderPath) {
    if (!api_.error().empty()) {
        failLater(QString::fromStdString(api_.error()));
        return;
    }
    // mpv reads "-" as standard input and "name://..." as a protocol; an
    // absolute path is never either.
    std::error_code error;
    const std::string path = std::filesystem::absolute(file, error).string();
    if (error) {
        failLater(QStringLiteral("the video path cannot be resolved: %1")
                      .arg(QString::fromStdString(error.message())));
        return;
    }
    // QApplication may have reset LC_NUMERIC since main set it; mpv_create
    // fails under any other numeric locale.
    useCNumericLocale();
    mpv_.reset(api_.mpv_create());
    if (!mpv_) {
        failLater(QStringLiteral("mpv could not be created"));
        return;
    }
    configure(path);
    if (const int rc = api_.mpv_initialize(mpv_.get()); rc < 0) {
        failLater(
            QStringLiteral("mpv could not be initialised: %1").arg(api_.mpv_error_string(rc)));
        return;
    }
    // The render context must exist before the file loads: vo=libmpv has
    // nothing to draw to otherwise.
    try {
        context_ = path_.createContext(api_, mpv_.get());
    } catch (const std::exception& error) {
        failLater(QString::fromStdString(error.what()));
        return;
    }
    // Runs on mpv's render thread: it only queues a render on the GUI thread.
    api_.mpv_render_context_set_update_callback(
        context_,
        [](void* context) {
            auto* self = static_cast<MpvPlayer*>(context);
            if (!self->frameQueued_.exchange(true)) {
                QMetaObject::invokeMethod(
                    self,
                    [self] {
                        self->frameQueued_ = false;
                        emit self->frameDue();
                    },
                    Qt::QueuedConnection);
            }
        },
        this);
    api_.mpv_request_log_messages(mpv_.get(), "error");
    api_.mpv_observe_property(mpv_.get(), kVideoWidth, "video-out-params/dw", MPV_FORMAT_INT64);
    api_.mpv_observe_property(mpv_.get(), kVideoHeight, "video-out-params/dh", MPV_FORMAT_INT64);
    // Runs on mpv's threads: it only queues a drain on the GUI thread. The
    // destructor unregisters it before this object goes away.
    api_.mpv_set_wakeup_callback(
        mpv_.get(),
        [](void* context) {
            auto* self = static_cast<MpvPlayer*>(context);
            if (!self->drainQueued_.exchange(true)) {
                QMetaObject::invokeMethod(self, &MpvPlayer::drainEvents, Qt::QueuedConnection);
            }
        },
        this);
    const char* command[] = {"loadfile", path.c_str(), nullptr};
    api_.mpv_command_async(mpv_.get(), 0, command);
}

MpvPlayer::~MpvPlayer() {
    if (context_ != nullptr) {
        // Frees the context only once mpv's video output no longer uses it;
        // no update callback runs after this returns.
        path_.releaseContext();
        // Freeing waits for mpv's video output to end, and an output holding a
        // frame that nobody will draw now gives up on it only after 0.2 s.
        // Paused, mpv queues no new one; the one queued is let go undrawn.
        api_.mpv_set_property_string(mpv_.get(), "pause", "yes");
        int skip = 1;
        int block = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        api_.mpv_render_context_render(context_, params);
        api_.mpv_render_context_free(context_);
    }
    if (mpv_) {
        // mpv holds its wakeup lock while it calls back, so once this returns no
        // callback runs or will run; ~QObject then drops any queued drain.
        api_.mpv_set_wakeup_callback(mpv_.get(), nullptr, nullptr);
    }
}

void MpvPlayer::configure(const std::string& path) {
    for (const auto& [name, value] : kOptions) {
        api_.mpv_set_option_string(mpv_.get(), name, value);
    }
    chooseThreads(path);
    api_.mpv_set_option_string(mpv_.get(), "hwdec", path_.hardwareDecoding() ? "auto-safe" : "no");
    // Plays that many times faster, so that a benchmark can put hours of
    // playback into minutes; mpv refuses anything but a speed (0.01 to 100).
    if (const char* speed = std::getenv("LUMIVO_PLAYBACK_SPEED"); speed != nullptr) {
        api_.mpv_set_option_string(mpv_.get(), "speed", speed);
    }
}

void MpvPlayer::setPaused(bool paused) {
    if (mpv_) {
        api_.mpv_set_property_string(mpv_.get(), "pause", paused ? "yes" : "no");
    }
}

void MpvPlayer::failLater(const QString& reason) {
    failed_ = true;
    QMetaObject::invokeMethod(
        this, [this, reason] { emit playbackFailed(reason); }, Qt::QueuedConnection);
}

void MpvPlayer::drainEvents() {
    drainQueued_ = false;
    // A slot connected to one of our signals may destroy this player.
    const QPointer<MpvPlayer> alive(this);
    while (alive && mpv_) {
        const mpv_event* event = api_.mpv_wait_event(mpv_.get(), 0);
        if (event->event_id == MPV_EVENT_NONE) {
            return;
        }
        handleEvent(*event);
    }
}

void MpvPlayer::reportFailure() {
    drainEvents();  // pick up the log lines that have arrived meanwhile
    if (failed_) {
        return;
    }
    failed_ = true;
    QString reason = QString::fromUtf8(api_.mpv_error_string(*failureCode_));
    if (!firstErrorLine_.empty()) {
        reason += QStringLiteral(": ") + QString::fromStdString(firstErrorLine_);
    }
    emit playbackFailed(reason);
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* message = static_cast<const mpv_event_log_message*>(event.data);
            if (firstErrorLine_.empty()) {
                firstErrorLine_ = trimmed(message->text);
            }
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            const long long value = property->format == MPV_FORMAT_INT64
                                        ? *static_cast<const int64_t*>(property->data)
                                        : 0;
            (event.reply_userdata == kVideoWidth ? videoWidth_ : videoHeight_) = value;
            if (videoWidth_ > 0 && videoHeight_ > 0) {
                emit videoSizeChanged(static_cast<int>(videoWidth_),
                                      static_cast<int>(videoHeight_));
            }
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            // The first restart after loading comes once the first frame has
            // been presented; later ones are the loop seeking back to the start.
            if (!frameShown_ && !failureCode_ && !failed_) {
                frameShown_ = true;
                emit firstFrameShown();
            }
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (end->reason == MPV_END_FILE_REASON_ERROR && !failureCode_ && !failed_) {
                failureCode_ = end->error;
                // mpv logs why a load failed just after this event, and hands
                // out log lines only after queued events: give them a moment.
                QTimer::singleShot(kFailureDetailGraceMs, this, &MpvPlayer::reportFailure);
            }
            break;
        }
        default:
            break;
    }
}

void MpvPlayer::chooseThreads(const std::string& path) {
    // The threads suit the most demanding video stream, whichever mpv then
    // plays. They are set before mpv_initialize, from the file's header, so
    // that the decoder is made with them. Choosing them in one of mpv's
    // loading hooks instead held every decode at the same point and released
    // them together; with two decodes starting at the same moment the helper
    // now and then aborted on a heap corrupted inside libmpv's decoding.
    std::optional<DecodeThreads> chosen;
    for (const VideoHeader& video : VideoHeader::read(path)) {
        const DecodeThreads threads =
            DecodeThreads::forVideo(video.width, video.height, video.framesPerSecond);
        if (!chosen || threads.decode == 0) {
            chosen = threads;
        }
    }
    if (!chosen) {
        return;  // no video, or none libavformat can read: loading fails on its own
    }
    api_.mpv_set_option_string(mpv_.get(), "vd-lavc-threads",
                               std::to_string(chosen->decode).c_str());
    api_.mpv_set_option_string(mpv_.get(), "zimg-threads",
                               chosen->scale == 0 ? "auto" : std::to_string(chosen->scale).c_str());
}

}  // namespace lumivo
