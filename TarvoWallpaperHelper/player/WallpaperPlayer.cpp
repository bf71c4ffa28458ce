#include "WallpaperPlayer.hpp"

#include <malloc.h>

#include <algorithm>

#include "HelperError.hpp"
#include "MpvLibrary.hpp"
#include "RenderChoice.hpp"
#include "RenderCore.hpp"

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
    open(std::move(outputs), videoPath);
    emit started();
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
    open(std::move(outputs), std::filesystem::path(file_));
    emit reopened();
}

void WallpaperPlayer::open(std::unique_ptr<Outputs> outputs,
                           const std::filesystem::path& videoPath) {
    release();
    file_ = videoPath;
    outputs_ = std::move(outputs);
    std::string note;
    core_ = std::make_unique<RenderCore>(videoPath, renderChoice_.choose(*outputs_, note));
    if (!note.empty()) {
        emit noted(QString::fromStdString(note));
    }
    connect(core_.get(), &RenderCore::firstFrameShown, this, &WallpaperPlayer::firstFrameShown);
    connect(core_.get(), &RenderCore::playbackFailed, this, [this](const QString& reason) {
        // A draw fails first where the display went away; the backend says
        // so itself (lost), once, and that is the one line for it.
        if (outputs_->connected()) {
            emit playbackFailed(reason);
        }
    });
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
    connect(outputs_.get(), &Outputs::redrawNeeded, core_.get(), &RenderCore::redraw);
    connect(outputs_.get(), &Outputs::noted, this, [this](const QString& message) {
        // Every apply opens the backend anew; its notes stay true meanwhile.
        if (backendNotes_.insert(message.toStdString()).second) {
            emit noted(message);
        }
    });
    connect(outputs_.get(), &Outputs::lost, this, [this](const QString& reason) {
        emit noted(QStringLiteral("Wallpaper display lost: ") + reason);
        // Nothing can be shown any more; mpv must not wait on a dead display.
        core_.reset();
    });
    layOut();
}

void WallpaperPlayer::stop() {
    const bool playing = isPlaying();
    release();
    file_.clear();
    if (playing) {
        // What mpv freed stays resident in malloc's heap until trimmed; a
        // helper that idles should give it back.
        malloc_trim(0);
        emit stopped();
    }
}

void WallpaperPlayer::release() {
    // mpv first: its render context draws into the surfaces.
    core_.reset();
    outputs_.reset();
    shown_.clear();
    hidden_.clear();
}

void WallpaperPlayer::setScreenMode(ScreenMode mode) {
    mode_ = mode;
    if (core_ && layOut()) {
        emit visibilityChanged();
    }
}

void WallpaperPlayer::prepare() {
    if (!loading_.valid()) {
        loading_ = std::async(std::launch::async, [] { MpvLibrary::instance(); });
    }
}

void WallpaperPlayer::setPaused(bool paused) {
    if (core_) {
        core_->setPaused(paused);
    }
}

void WallpaperPlayer::repaint() {
    if (core_) {
        core_->repaint();
    }
}

void WallpaperPlayer::setCovered(const std::string& monitor, bool covered) {
    if (core_) {
        core_->setCovered(monitor, covered);
    }
}

std::vector<Monitor> WallpaperPlayer::shownMonitors() const {
    return shown_;
}

long WallpaperPlayer::framesDrawn() const {
    return core_ ? core_->framesDrawn() : 0;
}

bool WallpaperPlayer::layOut() {
    if (!core_) {
        return false;
    }
    const std::vector<Monitor> monitors = outputs_->monitors();
    const ScreenLayout layout = layoutScreens(mode_, monitors);
    std::vector<std::size_t> indices;
    shown_.clear();
    for (const Placement& placement : layout.placements) {
        indices.push_back(placement.monitor);
        shown_.push_back(monitors[placement.monitor]);
    }
    bool changed = false;
    try {
        // The path lets go of surfaces that may go away before they do.
        core_->setLayout({}, {});
        const std::vector<Output*> outputs = outputs_->showOn(indices);
        // Covered before the first draw, so that a hidden monitor gets none.
        changed = coverHidden();
        core_->setLayout(layout, outputs);
    } catch (const std::exception& error) {
        emit playbackFailed(QString::fromStdString(error.what()));
    }
    return changed;
}

bool WallpaperPlayer::coverHidden() {
    std::vector<bool> hidden(shown_.size(), false);
    const std::vector<bool> told = outputs_->hidden();
    std::copy_n(told.begin(), std::min(told.size(), hidden.size()), hidden.begin());
    if (core_) {
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            core_->setCovered(shown_[i].name, hidden[i]);
        }
    }
    if (hidden == hidden_) {
        return false;
    }
    hidden_ = std::move(hidden);
    return true;
}

}  // namespace lumivo
