#include "PauseControl.hpp"

#include <utility>

namespace lumivo {

constexpr const char* pauseOnBatteryKey = "pauseOnBattery";

PauseControl::PauseControl(WallpaperPlayer& player, const SettingsStoring& settings, LogLine log)
    : player_(player), settings_(settings), log_(std::move(log)) {
    connect(&player_, &WallpaperPlayer::started, this, &PauseControl::onStarted);
    connect(&player_, &WallpaperPlayer::stopped, this, &PauseControl::onStopped);
    connect(&player_, &WallpaperPlayer::visibilityChanged, this, &PauseControl::decide);
    // The same wallpaper on a new backend starts unpaused; what rests it still holds.
    connect(&player_, &WallpaperPlayer::reopened, this, [this] {
        told_ = false;
        QMetaObject::invokeMethod(this, &PauseControl::decide, Qt::QueuedConnection);
    });
}

PauseControl::~PauseControl() = default;

void PauseControl::followSession(QDBusConnection sessionBus, QDBusConnection systemBus) {
    if (session_) {
        return;
    }
    session_ = std::make_unique<SessionState>(std::move(sessionBus), std::move(systemBus), log_);
    connect(session_.get(), &SessionState::changed, this, &PauseControl::decide);
    // Some drivers lose what was on screen over a suspend.
    connect(session_.get(), &SessionState::wokeUp, &player_, &WallpaperPlayer::repaint);
    blanking_ = std::make_unique<X11ScreenSaver>();
    connect(blanking_.get(), &X11ScreenSaver::changed, this, &PauseControl::decide);
    decide();
}

void PauseControl::setManual(bool paused) {
    // With nothing playing there is nothing to pause (the menu item is disabled).
    manual_ = paused && player_.isPlaying();
    decide();
}

// A new wallpaper plays unpaused, and without the last one's manual pause.
// Decided once the caller has logged the new wallpaper, so that its line
// ("Applied ...", "Restored ...") comes before the one saying it rests.
void PauseControl::onStarted() {
    manual_ = false;
    told_ = false;
    QMetaObject::invokeMethod(this, &PauseControl::decide, Qt::QueuedConnection);
}

// Idle: nothing is paused, and the next wallpaper starts from a clean slate,
// without a line for this stop.
void PauseControl::onStopped() {
    manual_ = false;
    told_.reset();
    decision_ = PauseDecision();
}

bool PauseControl::pauseOnBattery() const {
    // SettingsStoring reads an absent flag as false; this one defaults to true.
    return !settings_.text(pauseOnBatteryKey) || settings_.flag(pauseOnBatteryKey);
}

void PauseControl::decide() {
    if (!player_.isPlaying()) {
        return;
    }
    PauseInputs inputs;
    inputs.outputsHidden = player_.hiddenMonitors();
    if (session_) {
        inputs.suspending = session_->suspending();
        inputs.locked = session_->locked();
        inputs.screensaverActive = session_->screensaverActive();
        inputs.onBattery = session_->onBattery();
    }
    inputs.blanked = blanking_ && blanking_->blanked();
    inputs.pauseOnBattery = pauseOnBattery();
    inputs.manual = manual_;
    if (const std::optional<std::string> line = decision_.update(inputs); line && log_) {
        log_(*line);
    }
    if (told_ != decision_.paused()) {
        told_ = decision_.paused();
        player_.setPaused(*told_);
    }
}

}  // namespace lumivo
