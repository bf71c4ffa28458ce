#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <future>
#include <list>
#include <map>
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

// Shows video files as a live wallpaper: muted, looping, aspect-filled onto
// the monitors the screen mode picks, each in a desktop-level surface that
// takes no input. One video decoded once for every monitor, or in EachScreen
// a video per monitor, decoded once per distinct file. Follows monitors as
// they come, go and change, without restarting a video. A monitor that
// windows hide (as the display backend tells) is not drawn on, and a decode
// whose monitors are all hidden rests. Idle or playing; at most one display
// connection exists at a time. GUI thread only. Writes no log: the owner
// connects playbackFailed and noted to its log.
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
    // In EachScreen every monitor shows it until startOn() gives one another.
    void start(const std::filesystem::path& videoPath) override;
    // In EachScreen while a wallpaper plays: `videoPath` plays on the monitor
    // named `screen`, or with none the one the user looks at
    // (Outputs::focusedMonitor; one that is not there means the main one),
    // and the other monitors' videos play on undisturbed. Returns that
    // monitor's name. Otherwise it is start() and returns nothing.
    std::optional<std::string> startOn(const std::filesystem::path& videoPath,
                                       const std::optional<std::string>& screen) override;
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
    // Leaving EachScreen, the focused (else main) monitor's video plays on
    // everywhere; entering it, every monitor keeps the one video.
    void setScreenMode(ScreenMode mode) override;
    std::vector<Monitor> screens() const override;
    std::filesystem::path video() const override { return file_; }
    ScreenMode screenMode() const override { return mode_; }
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
    // Frames drawn since the last start, by every decode; 0 when idle.
    long framesDrawn() const;
    // The videos being decoded, one per distinct file shown.
    std::size_t decodes() const { return decodes_.size(); }

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
    // One video's decode and the monitors it is drawn on.
    struct Decode {
        std::filesystem::path file;
        std::unique_ptr<RenderCore> core;
        std::vector<std::string> monitors;
        bool resting = false;  // all its monitors hidden
    };

    // Lays the wallpaper out (a decode per video shown, those no monitor
    // shows any more released) and covers the hidden monitors; true when
    // hiddenMonitors() changed.
    bool layOut();
    bool coverHidden();
    Decode& decodeOf(const std::filesystem::path& file);
    void release();
    void open(std::unique_ptr<Outputs> outputs);

    OutputsFactory makeOutputs_;
    ScreenMode mode_ = ScreenMode::AllScreens;
    RenderChoice renderChoice_;
    std::unique_ptr<Outputs> outputs_;
    // The video of the last start, until stop(): in EachScreen, of the
    // monitors without one of their own in screenFiles_ (by name).
    std::filesystem::path file_;
    std::map<std::string, std::filesystem::path> screenFiles_;
    std::list<Decode> decodes_;  // after outputs_: destroyed first; stable addresses
    bool paused_ = false;
    std::vector<Monitor> shown_;
    std::future<void> loading_;  // prepare()'s; waited for on destruction
    std::vector<bool> hidden_;
    std::set<std::string> backendNotes_;  // the backend's notes already passed on
};

}  // namespace lumivo
