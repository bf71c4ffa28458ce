#pragma once

#include <xcb/xcb.h>

namespace lumivo {

// A window for a compositing manager to sort its desktop windows by: muffin
// keeps desktop windows in a group of their own, which it sorts only when the
// order of the ordinary windows changes. Until then it paints the wallpaper's
// window, added last, over a see-through desktop window that the window
// manager stacks above it, and the desktop icons are missing. Managing this
// window, an ordinary one, makes it sort them all. One transparent pixel in a
// corner that takes no focus and shows in no task bar or pager; mapped when
// made, destroyed with the object. Uses a connection it does not own.
class X11SortingWindow {
  public:
    explicit X11SortingWindow(xcb_connection_t* connection);
    ~X11SortingWindow();

    X11SortingWindow(const X11SortingWindow&) = delete;
    X11SortingWindow& operator=(const X11SortingWindow&) = delete;

    xcb_window_t id() const { return window_; }

  private:
    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
    xcb_colormap_t colormap_ = 0;
};

}  // namespace lumivo
