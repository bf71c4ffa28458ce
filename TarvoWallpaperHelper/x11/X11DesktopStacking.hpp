#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "DesktopStackKeeper.hpp"

class QSocketNotifier;

namespace lumivo {

// Keeps the wallpaper's windows on the right side of the desktop windows that
// file managers draw the desktop in (xfdesktop, caja, pcmanfm, nemo-desktop;
// DesktopStackKeeper decides): follows the window manager on an X connection
// of its own, driven by its events (the stacking list, the focus, windows
// mapped, moved and restacked; no polling), and asks it to restack the way a
// pager does. Inert when no X server answers. GUI thread only.
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
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    // What a client window is, read once while it stays in the stacking list.
    struct Known {
        bool desktop = false;
        bool argb = false;
        std::string program;
    };

    void internAtoms();
    void pump();
    void handle(const xcb_generic_event_t* event);
    void refresh();
    void readSupported();
    void learn(const std::vector<xcb_window_t>& stack);
    StackingScene scene(const std::vector<xcb_window_t>& stack, bool compositing);
    void carryOut(const DesktopStackKeeper::Step& step, const StackingScene& scene);
    void send(const DesktopStackKeeper::Request& request, const StackingScene& scene);
    void clientMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]);
    void sortCompositor();
    void endSort();
    void lose();

    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xcb_window_t root_ = 0;
    int screenNumber_ = 0;
    std::vector<xcb_window_t> own_;
    std::unordered_map<xcb_window_t, Known> known_;
    std::unordered_map<xcb_window_t, xcb_window_t> above_;  // root children and their lower sibling
    std::unordered_map<uint32_t, uint8_t> depths_;          // visual id -> depth
    DesktopStackKeeper keeper_;
    bool dirty_ = true;
    bool supportedDirty_ = true;
    QTimer wake_;
    xcb_window_t sorter_ = 0;  // see sortCompositor()
    xcb_colormap_t sorterColormap_ = 0;
    QTimer sorterTimeout_;

    struct Atoms {
        xcb_atom_t clientListStacking, activeWindow, supported, restackWindow, windowType,
            typeDesktop, typeUtility, opacity, opaqueRegion, compositor, wmState, skipTaskbar,
            skipPager, userTime, motifHints;
    } atoms_{};
};

}  // namespace lumivo
