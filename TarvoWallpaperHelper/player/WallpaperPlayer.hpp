#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Outputs.hpp"
#include "RenderChoice.hpp"
#include "ScreenMode.hpp"
#include "WallpaperPlaying.hpp"

namespace lumivo {

class RenderCore;

// Shows one video file as a live wallpaper: muted, looping, decoded once and
// aspect-filled onto the monitors the screen mode picks, each in a
// desktop-level surface that takes no input. Follows monitors as they come,
// go and change, without restarting the video. A monitor that windows hide
// (as the display backend tells) is not drawn on. Idle or playing; at most one
// display connection and one mpv instance exist at a time. GUI thread only.
// Writes no log: the owner connects playbackFailed and noted to its log.
class WallpaperPlayer : public QObject, public WallpaperPlaying {
    Q_OBJECT
  public:
    // Opens the display backend for a start; throws HelperError::noMainScreen()
    // when there is no display or no monitor. The application chooses it.
    using OutputsFactory = std::function<std::unique_ptr<Outputs>()>;

    // Plays on the backends `outputs` opens (none: every start throws
    // HelperError::noMainScreen()).
    explicit WallpaperPlayer(OutputsFactory outputs);
    // Stops playback, so no surface or mpv instance outlives the player.
    ~WallpaperPlayer() override;

    // Replaces the current wallpaper with `videoPath`. Throws
    // HelperError::noMainScreen() before changing anything when there is no
    // screen. Any later failure (mpv cannot open or decode the file, a frame
    // cannot be drawn) leaves the wallpapers black or on their last picture
    // and is reported by playbackFailed; a display that goes away is noted
    // instead, and nothing is drawn any more.
    void start(const std::filesystem::path& videoPath) override;
    // Removes the surfaces, shuts mpv down and closes the display connection;
    // nothing when idle.
    void stop() override;

    // The display backend may have changed (GNOME Shell's extension went on
    // or off): shows the current video again, from its start, through a
    // newly opened backend. When none can be had the wallpaper is gone until
    // the next reopen() that finds one (noted); stop() forgets the video.
    // Nothing when no video was started.
    void reopen();

    // Lays the wallpaper out anew when it plays; the video does not restart.
    void setScreenMode(ScreenMode mode) override;
    ScreenMode screenMode() const { return mode_; }
    // Loads libmpv on a thread of its own (about 100 ms of a start on a cold
    // process), so that a start soon after finds it loaded.
    void prepare() override;
    // Pauses decoding (the frame stays on screen) or resumes from that frame.
    // Applies to the current wallpaper; the next start plays unpaused.
    void setPaused(bool paused);
    // Renders the current frame anew on every monitor, paused or not: the
    // pictures on screen may have been lost (over a suspend).
    void repaint();
    // A covered monitor is not drawn on; the decode goes on. Monitors that
    // windows hide are covered by the player itself.
    void setCovered(const std::string& monitor, bool covered);
    // Whether windows hide each monitor of shownMonitors(), in that order;
    // empty when idle.
    const std::vector<bool>& hiddenMonitors() const { return hidden_; }

    bool isPlaying() const { return outputs_ != nullptr; }
    // The monitors the wallpaper currently shows on.
    std::vector<Monitor> shownMonitors() const;
    // Frames drawn since the last start; 0 when idle.
    long framesDrawn() const;

  signals:
    // A new wallpaper plays (start() succeeded); hiddenMonitors() is current.
    void started();
    // The same wallpaper plays again through a new backend (reopen()), unpaused.
    void reopened();
    // stop() removed the wallpaper that played.
    void stopped();
    // hiddenMonitors() changed while the same wallpaper plays.
    void visibilityChanged();
    // The current wallpaper's first frame is on screen.
    void firstFrameShown();
    // The current wallpaper cannot be played or drawn; `reason` says why
    // (mpv's, or the render path's).
    void playbackFailed(const QString& reason);
    // Something for the log: the render path chosen (at the first start, and
    // again should it change), what the backend found on the desktop (each
    // once per player), or a display that went away.
    void noted(const QString& message);

  private:
    // Lays the wallpaper out and covers the hidden monitors; true when
    // hiddenMonitors() changed.
    bool layOut();
    bool coverHidden();
    void release();
    void open(std::unique_ptr<Outputs> outputs, const std::filesystem::path& videoPath);

    OutputsFactory makeOutputs_;
    ScreenMode mode_ = ScreenMode::AllScreens;
    RenderChoice renderChoice_;
    std::unique_ptr<Outputs> outputs_;
    std::filesystem::path file_;        // the video of the last start, until stop()
    std::unique_ptr<RenderCore> core_;  // after outputs_: destroyed first
    std::vector<Monitor> shown_;
    std::future<void> loading_;  // prepare()'s; waited for on destruction
    std::vector<bool> hidden_;
    std::set<std::string> backendNotes_;  // the backend's notes already passed on
};

}  // namespace lumivo
