#include "X11Output.hpp"

#include <unistd.h>
#include <xcb/shape.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "XcbTools.hpp"

namespace lumivo {
namespace {

void setProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                 uint8_t format, const std::vector<uint32_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, format,
                        static_cast<uint32_t>(values.size()), values.data());
}

void setText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, std::string_view text) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(text.size()), text.data());
}

}  // namespace

X11Output::X11Output(xcb_connection_t* connection, const Monitor& monitor)
    : connection_(connection), monitor_(monitor) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    // A black background: the server shows it until the first picture, and
    // never what was on screen before.
    const uint32_t values[] = {screen->black_pixel,
                               XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    const Rect& g = monitor_.geometry;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root,
                      static_cast<int16_t>(g.x), static_cast<int16_t>(g.y),
                      static_cast<uint16_t>(g.width), static_cast<uint16_t>(g.height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    gc_ = xcb_generate_id(connection_);
    const uint32_t noExposures = 0;
    xcb_create_gc(connection_, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    // The window manager reads these when the window is first mapped.
    setDesktopProperties();
    passClicksThrough();
    xcb_map_window(connection_, window_);
    const uint32_t below = XCB_STACK_MODE_BELOW;
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    xcb_flush(connection_);
}

X11Output::~X11Output() {
    xcb_free_gc(connection_, gc_);
    if (window_ != 0) {
        xcb_destroy_window(connection_, window_);
    }
    xcb_flush(connection_);
}

void X11Output::setDesktopProperties() {
    xcb_connection_t* c = connection_;
    const auto a =
        internAtoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_DESKTOP",
                        "_NET_WM_STATE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                        "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_BELOW", "_NET_WM_USER_TIME",
                        "_MOTIF_WM_HINTS", "_NET_WM_PID", "_NET_WM_NAME", "UTF8_STRING"});
    setProperty(c, window_, a[0], XCB_ATOM_ATOM, 32, {a[1]});
    setProperty(c, window_, a[2], XCB_ATOM_CARDINAL, 32, {0xFFFFFFFF});  // every workspace
    setProperty(c, window_, a[3], XCB_ATOM_ATOM, 32, {a[4], a[5], a[6], a[7]});
    // Mapping must not activate it.
    setProperty(c, window_, a[8], XCB_ATOM_CARDINAL, 32, {0});
    // No decorations: flags = decorations, decorations = none.
    setProperty(c, window_, a[9], a[9], 32, {2, 0, 0, 0, 0});
    setProperty(c, window_, a[10], XCB_ATOM_CARDINAL, 32, {static_cast<uint32_t>(::getpid())});
    // WM_HINTS: InputHint set, input false: never given the keyboard focus.
    setProperty(c, window_, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, {1, 0, 0, 0, 0, 0, 0, 0, 0});
    // WM_NORMAL_HINTS: the program chose position and size.
    const Rect& g = monitor_.geometry;
    std::vector<uint32_t> normal(18, 0);
    normal[0] = 0xF;  // USPosition, USSize, PPosition, PSize
    normal[1] = static_cast<uint32_t>(g.x);
    normal[2] = static_cast<uint32_t>(g.y);
    normal[3] = static_cast<uint32_t>(g.width);
    normal[4] = static_cast<uint32_t>(g.height);
    setProperty(c, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, normal);
    setText(c, window_, XCB_ATOM_WM_NAME, "Lumivo Wallpaper");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, a[11], a[12], 8, 16, "Lumivo Wallpaper");
    // WM_CLASS: instance and class, each NUL-terminated.
    constexpr std::string_view wmClass("lumivo-wallpaper\0Lumivo\0", 24);
    setText(c, window_, XCB_ATOM_WM_CLASS, wmClass);
}

void X11Output::passClicksThrough() {
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection_, &xcb_shape_id);
    if (shape != nullptr && shape->present) {
        // An empty input region: the pointer falls through to the desktop.
        xcb_shape_rectangles(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window_, 0, 0, 0, nullptr);
    }
}

void X11Output::moveTo(const Monitor& monitor) {
    if (monitor.geometry != monitor_.geometry) {
        const Rect& g = monitor.geometry;
        const uint32_t values[] = {static_cast<uint32_t>(g.x), static_cast<uint32_t>(g.y),
                                   static_cast<uint32_t>(g.width), static_cast<uint32_t>(g.height)};
        xcb_configure_window(connection_, window_,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             values);
    }
    monitor_ = monitor;
}

}  // namespace lumivo
