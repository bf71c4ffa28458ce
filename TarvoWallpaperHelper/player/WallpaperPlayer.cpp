#include "WallpaperPlayer.hpp"

#include <QGuiApplication>

#include "DesktopWindow.hpp"
#include "HelperError.hpp"
#include "MpvPlayer.hpp"

namespace lumivo {

WallpaperPlayer::WallpaperPlayer(ScreenLookup screen) : screen_(std::move(screen)) {
    if (!screen_) {
        screen_ = [] { return QGuiApplication::primaryScreen(); };
    }
}

WallpaperPlayer::~WallpaperPlayer() {
    stop();
}

void WallpaperPlayer::start(const std::filesystem::path& videoPath) {
    QScreen* screen = screen_();
    if (screen == nullptr ||
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>() == nullptr) {
        throw HelperError::noMainScreen();
    }
    stop();
    window_ = std::make_unique<DesktopWindow>(screen->geometry());
    mpv_ = std::make_unique<MpvPlayer>(window_->nativeId(), videoPath);
    connect(mpv_.get(), &MpvPlayer::firstFrameShown, this, &WallpaperPlayer::firstFrameShown);
    connect(mpv_.get(), &MpvPlayer::playbackFailed, this, &WallpaperPlayer::playbackFailed);
    window_->showAtBottom();
}

void WallpaperPlayer::stop() {
    // mpv first: its video output draws into the window and must be gone
    // before the window is destroyed.
    mpv_.reset();
    window_.reset();
}

std::optional<WId> WallpaperPlayer::windowId() const {
    if (!window_) {
        return std::nullopt;
    }
    return window_->nativeId();
}

}  // namespace lumivo
