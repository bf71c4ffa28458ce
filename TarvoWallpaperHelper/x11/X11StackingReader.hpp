#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "DesktopCover.hpp"

namespace lumivo {

// Reads the window manager's stacking the way the desktop stacking decisions
// need it (StackingScene): the stacking list, the focus, each window's type
// and program, and where the desktop windows and the wallpaper's own windows
// are and whether they are see-through. Remembers what does not change while
// a window stays listed. Uses a connection it does not own; not thread-safe.
class X11StackingReader {
  public:
    explicit X11StackingReader(xcb_connection_t* connection);

    // The scene now, in at most three round trips; `own` are the wallpaper's
    // windows. Empty when the manager lists no windows.
    StackingScene read(const std::vector<xcb_window_t>& own);
    // Whether the window manager lists _NET_RESTACK_WINDOW in _NET_SUPPORTED.
    bool restackSupported();

  private:
    // What a client window is, read once while it stays in the stacking list.
    struct Known {
        bool desktop = false;
        bool argb = false;
        std::string program;
    };

    void learn(const std::vector<xcb_window_t>& stack);
    void place(StackingScene& scene, const std::vector<xcb_window_t>& own, bool compositing);

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    std::unordered_map<uint32_t, uint8_t> depths_;  // visual id -> depth
    std::unordered_map<xcb_window_t, Known> known_;
    struct Atoms {
        xcb_atom_t clientListStacking, activeWindow, supported, restackWindow, windowType,
            typeDesktop, opacity, opaqueRegion, compositor;
    } atoms_{};
};

}  // namespace lumivo
