#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

#include "XcbTools.hpp"

class QSocketNotifier;

namespace lumivo {

// Whether the X server's own screen saver (MIT-SCREEN-SAVER: its timeout, or
// `xset s activate`) blanks the screen, which desktops without a screensaver
// daemon rely on. Followed through the extension's notify events on a
// connection of its own, never polled. Without an X server or the extension,
// or once the connection is lost, it reports an unblanked screen. GUI thread only.
class X11ScreenSaver : public QObject {
    Q_OBJECT

  public:
    // Connects to `display` (nullptr: $DISPLAY).
    explicit X11ScreenSaver(const char* display = nullptr, QObject* parent = nullptr);
    ~X11ScreenSaver() override;

    bool blanked() const { return blanked_; }

  signals:
    // blanked() changed.
    void changed();

  private:
    void pump();
    void set(bool blanked);

    XcbConnection connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::uint8_t notifyEvent_ = 0;  // the extension's ScreenSaverNotify event code
    bool blanked_ = false;
};

}  // namespace lumivo
