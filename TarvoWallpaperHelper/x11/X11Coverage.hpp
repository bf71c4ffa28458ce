#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <QRect>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "CoverageRules.hpp"
#include "XcbTools.hpp"

class QSocketNotifier;

namespace lumivo {

// Follows the X11 window manager (EWMH) on a connection of its own and reports,
// per monitor the wallpaper plays on, whether windows hide it. Driven by X
// events from the Qt event loop; it never polls and never uses Qt's own X
// connection, so it works whichever platform plugin Qt runs. GUI thread only.
class X11Coverage : public QObject {
    Q_OBJECT

  public:
    // Connects to `display` (nullptr: $DISPLAY). When no X server answers, the
    // object stays inert: connected() is false and no monitor is hidden.
    explicit X11Coverage(const char* display = nullptr, QObject* parent = nullptr);
    ~X11Coverage() override;

    // False when no X server answered or the connection was lost.
    bool connected() const;

    // The monitors the wallpaper plays on, in root-window pixels. Emits
    // hiddenChanged when the flags change.
    void setMonitors(const std::vector<QRect>& monitors);

    // One flag per monitor given to setMonitors, in that order.
    const std::vector<bool>& hidden() const { return hidden_; }

  signals:
    // The flags of hidden() changed; also when the X connection is lost, after
    // which no monitor is hidden.
    void hiddenChanged();

  private:
    enum Part : unsigned {
        kState = 1,
        kDesktop = 2,
        kType = 4,
        kExtents = 8,
        kGeometry = 16,
        kMapState = 32,
        kAllParts = 63
    };
    struct Client {
        ClientWindow window;
        Rect inner;                     // the client's own outer rectangle, without the frame
        int extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
        unsigned dirty = kAllParts;
    };

    void internAtoms();
    void pump();
    void handle(const xcb_generic_event_t* event);
    void refresh();
    void refreshClientList();
    void refreshClients();
    void recompute();
    void lose();

    XcbConnection connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
    xcb_window_t root_ = 0;
    std::unordered_map<xcb_window_t, Client> clients_;
    std::optional<uint32_t> currentDesktop_;
    bool listDirty_ = true;
    bool desktopDirty_ = true;
    std::vector<Rect> monitors_;
    std::vector<bool> hidden_;

    struct Atoms {
        xcb_atom_t clientListStacking, currentDesktop, wmDesktop, wmState, fullscreen,
            maximizedVert, maximizedHorz, hidden, shaded, windowType, typeDesktop, typeDock,
            frameExtents;
    } atoms_{};
};

}  // namespace lumivo
