#pragma once

#include <QRect>
#include <QWidget>

namespace lumivo {

// A borderless, opaque black X11 window at the desktop level: typed
// _NET_WM_WINDOW_TYPE_DESKTOP, on every workspace, below all other windows,
// never focused, and with an empty input shape so clicks reach the desktop.
// GUI thread only; requires the xcb platform plugin.
class DesktopWindow : public QWidget {
    Q_OBJECT
  public:
    // Creates the native window covering `geometry` (global coordinates) with
    // all desktop properties set; it is not shown yet.
    explicit DesktopWindow(const QRect& geometry);

    // Maps the window without activating it and lowers it to the bottom.
    void showAtBottom();

    // The X11 window id that a video output embeds into.
    WId nativeId() const { return nativeId_; }

  private:
    void setDesktopProperties();
    void clearInputShape();
    void paintBlackOnMap();

    WId nativeId_ = 0;
};

}  // namespace lumivo
