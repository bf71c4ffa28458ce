#pragma once

#include <QObject>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "WallpaperPlaying.hpp"

namespace lumivo {

class DesktopWindow;
class MpvPlayer;

// Shows one video file as a live wallpaper: muted, looping, cropped to fill the
// primary screen, in a desktop-level window that takes no input. Idle or
// playing; at most one window and one mpv instance exist at a time. GUI thread
// only. Writes no log: the owner connects playbackFailed to its log.
class WallpaperPlayer : public QObject, public WallpaperPlaying {
    Q_OBJECT
  public:
    // Where the player finds its screen; the default is the primary screen.
    using ScreenLookup = std::function<QScreen*()>;

    explicit WallpaperPlayer(ScreenLookup screen = {});
    // Stops playback, so no window or mpv instance outlives the player.
    ~WallpaperPlayer() override;

    // Replaces the current wallpaper with `videoPath`. Throws
    // HelperError::noMainScreen() before changing anything when there is no
    // screen (or no X11 display). Any later failure (mpv cannot open or decode
    // the file) leaves a black wallpaper and is reported by playbackFailed.
    void start(const std::filesystem::path& videoPath) override;
    // Removes the window and shuts mpv down completely; nothing when idle.
    void stop() override;

    bool isPlaying() const { return window_ != nullptr; }
    // The X11 window of the current wallpaper, if one plays.
    std::optional<WId> windowId() const;

  signals:
    // The current wallpaper's first frame is on screen.
    void firstFrameShown();
    // The current wallpaper cannot be played; `reason` is mpv's.
    void playbackFailed(const QString& reason);

  private:
    ScreenLookup screen_;
    std::unique_ptr<DesktopWindow> window_;
    std::unique_ptr<MpvPlayer> mpv_;
};

}  // namespace lumivo
