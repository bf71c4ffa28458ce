#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <unordered_map>
#include <vector>

#include "DesktopStackKeeper.hpp"
#include "X11SortingWindow.hpp"
#include "X11StackingReader.hpp"
#include "XcbTools.hpp"

class QSocketNotifier;

namespace lumivo {

// Keeps the wallpaper's windows on the right side of the desktop windows that
// file managers draw the desktop in (xfdesktop, caja, pcmanfm, nemo-desktop;
// DesktopStackKeeper decides): follows the window manager on an X connection
// of its own, driven by its events (the stacking list, the focus, windows
// mapped, unmapped and restacked; no polling), and asks it to restack the way
// a pager does. Inert when no X server answers. GUI thread only.
class X11DesktopStacking : public QObject {
    Q_OBJECT

  public:
    // Connects to `display` (nullptr: $DISPLAY).
    explicit X11DesktopStacking(const char* display = nullptr, QObject* parent = nullptr);
    ~X11DesktopStacking() override;

    // The wallpaper's windows, one per monitor it shows on.
    void setOwnWindows(std::vector<xcb_window_t> windows);

  signals:
    // A line for the log: the icons an opaque desktop window keeps under the
    // video, or the restacks paused.
    void noted(const QString& message);

  private:
    void pump();
    void handle(const xcb_generic_event_t* event);
    void refresh();
    void carryOut(const DesktopStackKeeper::Step& step, const StackingScene& scene);
    void send(const DesktopStackKeeper::Request& request, const StackingScene& scene);
    void sortCompositor();
    void lose();

    XcbConnection connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<X11StackingReader> reader_;
    xcb_window_t root_ = 0;
    xcb_atom_t clientListStacking_ = 0, activeWindow_ = 0, supported_ = 0, restackWindow_ = 0;
    std::vector<xcb_window_t> own_;
    // The top-level windows and the sibling each was last stacked above.
    std::unordered_map<xcb_window_t, xcb_window_t> above_;
    DesktopStackKeeper keeper_;
    bool dirty_ = true;
    bool supportedDirty_ = true;
    QTimer wake_;
    std::unique_ptr<X11SortingWindow> sorter_;
    bool sortAgain_ = false;  // asked for while the sorting window was out
    QTimer sorterTimeout_;
};

}  // namespace lumivo
