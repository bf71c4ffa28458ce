#include "RenderCore.hpp"

#include "MpvLibrary.hpp"
#include "MpvPlayer.hpp"

namespace lumivo {

RenderCore::RenderCore(const std::filesystem::path& file, std::unique_ptr<RenderPath> path)
    : path_(std::move(path)) {
    mpv_ = std::make_unique<MpvPlayer>(file, *path_);
    connect(mpv_.get(), &MpvPlayer::frameDue, this, &RenderCore::frameDue);
    connect(mpv_.get(), &MpvPlayer::videoSizeChanged, this, [this](int width, int height) {
        try {
            path_->setVideoSize(width, height);
        } catch (const std::exception& error) {
            giveUp(error);
        }
        draw();
    });
    connect(mpv_.get(), &MpvPlayer::firstFrameShown, this, &RenderCore::firstFrameShown);
    connect(mpv_.get(), &MpvPlayer::playbackFailed, this, &RenderCore::playbackFailed);
}

RenderCore::~RenderCore() {
    mpv_.reset();  // mpv's render context goes before the path that draws it
}

void RenderCore::setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) {
    layout_ = {};
    outputs_.clear();
    path_->setLayout(layout, outputs);
    layout_ = layout;
    outputs_ = outputs;
    draw();
}

void RenderCore::setPaused(bool paused) {
    mpv_->setPaused(paused);
}

void RenderCore::setCovered(const std::string& monitor, bool covered) {
    const bool changed = covered ? covered_.insert(monitor).second : covered_.erase(monitor) > 0;
    if (changed && !covered) {
        draw();  // uncovered: show the current frame at once, not at the next
    }
}

void RenderCore::redraw() {
    draw();
}

void RenderCore::repaint() {
    path_->newFrame();
    draw();
}

void RenderCore::giveUp(const std::exception& error) {
    // The surfaces cannot be drawn on any more: the wallpapers keep their last
    // picture, one report, and no further attempts until the next layout.
    // Reported from the event loop, so that a slot may destroy this core, and
    // so that a display that went away can be told first (its owner then
    // drops this core, and the report with it).
    outputs_.clear();
    const QString reason = QString::fromStdString(error.what());
    QMetaObject::invokeMethod(
        this, [this, reason] { emit playbackFailed(reason); }, Qt::QueuedConnection);
}

void RenderCore::frameDue() {
    mpv_render_context* context = mpv_->renderContext();
    if (context == nullptr) {
        return;
    }
    if ((mpv_->api().mpv_render_context_update(context) & MPV_RENDER_UPDATE_FRAME) != 0) {
        path_->newFrame();
        draw();
    }
}

void RenderCore::draw() {
    mpv_render_context* context = mpv_->renderContext();
    if (context == nullptr || outputs_.empty()) {
        return;
    }
    std::vector<bool> skip;
    for (Output* output : outputs_) {
        skip.push_back(covered_.contains(output->monitor().name));
    }
    try {
        path_->draw(mpv_->api(), context, skip);
        ++framesDrawn_;
    } catch (const std::exception& error) {
        giveUp(error);
    }
}

}  // namespace lumivo
