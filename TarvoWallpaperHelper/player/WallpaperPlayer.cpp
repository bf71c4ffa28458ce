#include "WallpaperPlayer.hpp"

#include "MpvLibrary.hpp"
#include "RenderChoice.hpp"
#include "RenderCore.hpp"
#include "X11Outputs.hpp"

namespace lumivo {

WallpaperPlayer::WallpaperPlayer(OutputsFactory outputs) : makeOutputs_(std::move(outputs)) {
    if (!makeOutputs_) {
        makeOutputs_ = [] { return std::make_unique<X11Outputs>(); };
    }
}

WallpaperPlayer::~WallpaperPlayer() {
    stop();
}

void WallpaperPlayer::start(const std::filesystem::path& videoPath) {
    // Throws before anything changes: the current wallpaper plays on.
    std::unique_ptr<Outputs> outputs = makeOutputs_();
    stop();
    outputs_ = std::move(outputs);
    std::string note;
    core_ = std::make_unique<RenderCore>(videoPath, chooseRenderPath(*outputs_, note));
    if (!note.empty()) {
        emit noted(QString::fromStdString(note));
    }
    connect(core_.get(), &RenderCore::firstFrameShown, this, &WallpaperPlayer::firstFrameShown);
    connect(core_.get(), &RenderCore::playbackFailed, this, &WallpaperPlayer::playbackFailed);
    connect(outputs_.get(), &Outputs::monitorsChanged, this, &WallpaperPlayer::layOut);
    connect(outputs_.get(), &Outputs::redrawNeeded, core_.get(), &RenderCore::redraw);
    connect(outputs_.get(), &Outputs::lost, this, [this](const QString& reason) {
        emit noted(QStringLiteral("Wallpaper display lost: ") + reason);
        // Nothing can be shown any more; mpv must not wait on a dead display.
        core_.reset();
    });
    layOut();
}

void WallpaperPlayer::stop() {
    // mpv first: its render context draws into the surfaces.
    core_.reset();
    outputs_.reset();
    shown_.clear();
}

void WallpaperPlayer::setScreenMode(ScreenMode mode) {
    mode_ = mode;
    if (core_) {
        layOut();
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

void WallpaperPlayer::layOut() {
    if (!core_) {
        return;
    }
    const std::vector<Monitor> monitors = outputs_->monitors();
    const ScreenLayout layout = layoutScreens(mode_, monitors);
    std::vector<std::size_t> indices;
    shown_.clear();
    for (const Placement& placement : layout.placements) {
        indices.push_back(placement.monitor);
        shown_.push_back(monitors[placement.monitor]);
    }
    try {
        // The path lets go of surfaces that may go away before they do.
        core_->setLayout({}, {});
        core_->setLayout(layout, outputs_->showOn(indices));
    } catch (const std::exception& error) {
        emit playbackFailed(QString::fromStdString(error.what()));
    }
}

}  // namespace lumivo
