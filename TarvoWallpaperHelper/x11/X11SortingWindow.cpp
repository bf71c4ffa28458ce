#include "X11SortingWindow.hpp"

#include <optional>
#include <string_view>
#include <vector>

#include "XcbTools.hpp"

namespace lumivo {
namespace {

// A 32-bit TrueColor visual, in which a pixel of 0 is transparent.
std::optional<xcb_visualid_t> argbVisual(const xcb_screen_t* screen) {
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem;
         xcb_depth_next(&depth)) {
        if (depth.data->depth != 32) {
            continue;
        }
        for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
             xcb_visualtype_next(&visual)) {
            if (visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                return visual.data->visual_id;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

X11SortingWindow::X11SortingWindow(xcb_connection_t* connection) : connection_(connection) {
    xcb_connection_t* c = connection_;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window_ = xcb_generate_id(c);
    if (const auto argb = argbVisual(screen)) {
        colormap_ = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap_, screen->root, *argb);
        const uint32_t values[] = {0, 0, colormap_};  // transparent background and border
        xcb_create_window(c, 32, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, *argb,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
    } else {
        const uint32_t values[] = {screen->black_pixel};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                          values);
    }
    const auto a =
        internAtoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_STATE",
                        "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                        "_NET_WM_USER_TIME", "_MOTIF_WM_HINTS"});
    const auto set = [&](xcb_atom_t property, xcb_atom_t type, std::vector<uint32_t> values) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, property, type, 32,
                            static_cast<uint32_t>(values.size()), values.data());
    };
    set(a[0], XCB_ATOM_ATOM, {a[1]});
    set(a[2], XCB_ATOM_ATOM, {a[3], a[4]});
    set(a[5], XCB_ATOM_CARDINAL, {0});  // mapping must not focus it
    set(a[6], a[6], {2, 0, 0, 0, 0});   // no decorations
    set(XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, {1, 0, 0, 0, 0, 0, 0, 0, 0});  // no input
    constexpr std::string_view wmClass("lumivo-sorting\0Lumivo\0", 22);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    xcb_map_window(c, window_);
    xcb_flush(c);
}

X11SortingWindow::~X11SortingWindow() {
    xcb_destroy_window(connection_, window_);
    if (colormap_ != 0) {
        xcb_free_colormap(connection_, colormap_);
    }
    xcb_flush(connection_);
}

}  // namespace lumivo
