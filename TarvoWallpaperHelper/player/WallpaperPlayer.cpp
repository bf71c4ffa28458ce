#include "WallpaperPlayer.hpp"

#include <malloc.h>

#include <algorithm>
#include <stdexcept>

#include "HelperError.hpp"
#include "MpvLibrary.hpp"
#include "RenderChoice.hpp"
#include "RenderCore.hpp"
#include "VideoLayout.hpp"

namespace lumivo {

WallpaperPlayer::WallpaperPlayer(OutputsFactory outputs) : makeOutputs_(std::move(outputs)) {}

WallpaperPlayer::~WallpaperPlayer() {
    release();
}

void WallpaperPlayer::start(const std::filesystem::path& videoPath) {
    // Throws before anything changes: the current wallpaper plays on.
    if (!makeOutputs_) {
        throw HelperError::noMainScreen();
    }
    std::unique_ptr<Outputs> outputs = makeOutputs_();
    release();
    file_ = videoPath;
    screenFiles_.clear();
    paused_ = false;
    open(std::move(outputs));
    emit started();
}

std::optional<std::string> WallpaperPlayer::startOn(const std::filesystem::path& videoPath,
                                                    const std::optional<std::string>& screen) {
    if (mode_ != ScreenMode::EachScreen || !outputs_ || decodes_.empty()) {
        start(videoPath);
        return std::nullopt;
    }
    const std::vector<Monitor> monitors = outputs_->monitors();
    const std::optional<std::size_t> chosen =
        chooseScreen(monitors, screen ? screen : outputs_->focusedMonitor());
    if (!chosen) {
        throw HelperError::noMainScreen();
    }
    const std::string name = monitors[*chosen].name;
    screenFiles_[name] = videoPath;
    // As a start: what plays now is new, so a manual pause ends with it.
    paused_ = false;
    for (Decode& decode : decodes_) {
        decode.core->setPaused(decode.resting);
    }
    layOut();
    emit started();
    return name;
}

void WallpaperPlayer::reopen() {
    if (file_.empty() || !makeOutputs_) {
        return;
    }
    std::unique_ptr<Outputs> outputs;
    try {
        outputs = makeOutputs_();
    } catch (const std::exception& error) {
        release();
        emit noted(QStringLiteral("Wallpaper display lost: ") + QString::fromUtf8(error.what()));
        return;
    }
    release();
    paused_ = false;
    open(std::move(outputs));
    emit reopened();
}

void WallpaperPlayer::open(std::unique_ptr<Outputs> outputs) {
    outputs_ = std::move(outputs);
    connect(outputs_.get(), &Outputs::monitorsChanged, this, [this] {
        if (layOut()) {
            emit visibilityChanged();
        }
    });
    connect(outputs_.get(), &Outputs::hiddenChanged, this, [this] {
        if (coverHidden()) {
            emit visibilityChanged();
        }
    });
    connect(outputs_.get(), &Outputs::redrawNeeded, this, [this] {
        for (Decode& decode : decodes_) {
            decode.core->redraw();
        }
    });
    connect(outputs_.get(), &Outputs::noted, this, [this](const QString& message) {
        // Every apply opens the backend anew; its notes stay true meanwhile.
        if (backendNotes_.insert(message.toStdString()).second) {
            emit noted(message);
        }
    });
    connect(outputs_.get(), &Outputs::lost, this, [this](const QString& reason) {
        emit noted(QStringLiteral("Wallpaper display lost: ") + reason);
        // Nothing can be shown any more; mpv must not wait on a dead display,
        // nor a change of the backend's start another decode on it.
        decodes_.clear();
        outputs_->disconnect(this);
    });
    layOut();
}

WallpaperPlayer::Decode& WallpaperPlayer::decodeOf(const std::filesystem::path& file) {
    const auto found = std::find_if(decodes_.begin(), decodes_.end(),
                                    [&](const Decode& decode) { return decode.file == file; });
    if (found != decodes_.end()) {
        return *found;
    }
    std::string note;
    auto core = std::make_unique<RenderCore>(file, renderChoice_.choose(*outputs_, note));
    if (!note.empty()) {
        emit noted(QString::fromStdString(note));
    }
    connect(core.get(), &RenderCore::firstFrameShown, this, &WallpaperPlayer::firstFrameShown);
    connect(core.get(), &RenderCore::playbackFailed, this, [this](const QString& reason) {
        // A draw fails first where the display went away; the backend says
        // so itself (lost), once, and that is the one line for it.
        if (outputs_ && outputs_->connected()) {
            emit playbackFailed(reason);
        }
    });
    if (paused_) {
        core->setPaused(true);
    }
    decodes_.push_back({file, std::move(core), {}, false});
    return decodes_.back();
}

void WallpaperPlayer::stop() {
    const bool playing = isPlaying();
    release();
    file_.clear();
    screenFiles_.clear();
    if (playing) {
        // What mpv freed stays resident in malloc's heap until trimmed; a
        // helper that idles should give it back.
        malloc_trim(0);
        emit stopped();
    }
}

void WallpaperPlayer::release() {
    // mpv first: its render context draws into the surfaces.
    decodes_.clear();
    outputs_.reset();
    shown_.clear();
    hidden_.clear();
}

void WallpaperPlayer::setScreenMode(ScreenMode mode) {
    if (mode_ == ScreenMode::EachScreen && mode != ScreenMode::EachScreen && outputs_ &&
        !screenFiles_.empty()) {
        // The video the user looks at goes on everywhere, its decode with it.
        const std::vector<Monitor> monitors = outputs_->monitors();
        if (const auto chosen = chooseScreen(monitors, outputs_->focusedMonitor())) {
            const auto own = screenFiles_.find(monitors[*chosen].name);
            if (own != screenFiles_.end()) {
                file_ = own->second;
            }
        }
    }
    if (mode != ScreenMode::EachScreen) {
        screenFiles_.clear();
    }
    mode_ = mode;
    if (!decodes_.empty() && layOut()) {
        emit visibilityChanged();
    }
}

void WallpaperPlayer::prepare() {
    if (!loading_.valid()) {
        loading_ = std::async(std::launch::async, [] { MpvLibrary::instance(); });
    }
}

void WallpaperPlayer::setPaused(bool paused) {
    paused_ = paused;
    for (Decode& decode : decodes_) {
        decode.core->setPaused(paused || decode.resting);
    }
}

void WallpaperPlayer::repaint() {
    for (Decode& decode : decodes_) {
        decode.core->repaint();
    }
}

void WallpaperPlayer::setCovered(const std::string& monitor, bool covered) {
    for (Decode& decode : decodes_) {
        decode.core->setCovered(monitor, covered);
    }
}

std::vector<Monitor> WallpaperPlayer::shownMonitors() const {
    return shown_;
}

std::vector<Monitor> WallpaperPlayer::screens() const {
    std::vector<Monitor> sorted = shown_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Monitor& a, const Monitor& b) {
        return a.geometry.x != b.geometry.x ? a.geometry.x < b.geometry.x
                                            : a.geometry.y < b.geometry.y;
    });
    return sorted;
}

long WallpaperPlayer::framesDrawn() const {
    long frames = 0;
    for (const Decode& decode : decodes_) {
        frames += decode.core->framesDrawn();
    }
    return frames;
}

bool WallpaperPlayer::layOut() {
    if (!outputs_) {
        return false;
    }
    const std::vector<Monitor> monitors = outputs_->monitors();
    std::vector<VideoLayout> videos;
    if (mode_ == ScreenMode::EachScreen) {
        videos = layoutVideos(monitors, screenFiles_, file_);
    } else {
        videos.push_back({file_, layoutScreens(mode_, monitors)});
    }
    // Every surface is shown on in one call; the decodes take their share.
    std::vector<std::size_t> indices;
    shown_.clear();
    for (const VideoLayout& video : videos) {
        for (const Placement& placement : video.layout.placements) {
            indices.push_back(placement.monitor);
            shown_.push_back(monitors[placement.monitor]);
        }
    }
    bool changed = false;
    try {
        // The paths let go of surfaces that may go away before they do.
        for (Decode& decode : decodes_) {
            decode.core->setLayout({}, {});
            decode.monitors.clear();
        }
        // A decode no monitor shows any more goes, before another one starts.
        std::erase_if(decodes_, [&](const Decode& decode) {
            return std::none_of(videos.begin(), videos.end(),
                                [&](const VideoLayout& v) { return v.video == decode.file; });
        });
        const std::vector<Output*> outputs = outputs_->showOn(indices);
        if (outputs.size() != indices.size()) {
            throw std::runtime_error("the display did not put a surface on every monitor");
        }
        std::size_t next = 0;
        std::vector<std::pair<Decode*, std::vector<Output*>>> shares;
        for (const VideoLayout& video : videos) {
            Decode& decode = decodeOf(video.video);
            std::vector<Output*> share;
            for (const Placement& placement : video.layout.placements) {
                share.push_back(outputs[next]);
                decode.monitors.push_back(monitors[placement.monitor].name);
                ++next;
            }
            shares.emplace_back(&decode, std::move(share));
        }
        // Covered before the first draw, so that a hidden monitor gets none.
        changed = coverHidden();
        for (std::size_t v = 0; v < videos.size(); ++v) {
            shares[v].first->core->setLayout(videos[v].layout, shares[v].second);
        }
    } catch (const std::exception& error) {
        emit playbackFailed(QString::fromStdString(error.what()));
    }
    return changed;
}

bool WallpaperPlayer::coverHidden() {
    std::vector<bool> hidden(shown_.size(), false);
    const std::vector<bool> told = outputs_->hidden();
    std::copy_n(told.begin(), std::min(told.size(), hidden.size()), hidden.begin());
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        for (Decode& decode : decodes_) {
            decode.core->setCovered(shown_[i].name, hidden[i]);
        }
    }
    // With several decodes, one whose monitors are all hidden rests on its
    // own; a single one rests through the owner's pause (all hidden).
    for (Decode& decode : decodes_) {
        bool allHidden = !decode.monitors.empty();
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            if (!hidden[i] && std::find(decode.monitors.begin(), decode.monitors.end(),
                                        shown_[i].name) != decode.monitors.end()) {
                allHidden = false;
            }
        }
        const bool resting = decodes_.size() > 1 && allHidden;
        if (resting != decode.resting) {
            decode.resting = resting;
            decode.core->setPaused(paused_ || resting);
        }
    }
    if (hidden == hidden_) {
        return false;
    }
    hidden_ = std::move(hidden);
    return true;
}

}  // namespace lumivo
