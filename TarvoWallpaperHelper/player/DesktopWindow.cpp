#include "DesktopWindow.hpp"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QPalette>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "HelperError.hpp"

namespace lumivo {
namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        throw HelperError::noMainScreen();  // not on X11: no screen this window can use
    }
    return x11->connection();
}

// Interns all names in one round trip; an atom the server refuses stays XCB_NONE.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c,
                                    std::initializer_list<std::string_view> names) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (auto name : names) {
        cookies.push_back(xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()));
    }
    std::vector<xcb_atom_t> atoms;
    for (auto cookie : cookies) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
        atoms.push_back(reply ? reply->atom : XCB_NONE);
    }
    return atoms;
}

void setAtomList(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                 const std::vector<xcb_atom_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(values.size()), values.data());
}

}  // namespace

DesktopWindow::DesktopWindow(const QRect& geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowStaysOnBottomHint) {
    // Not Qt::WindowTransparentForInput: with it the video output's child
    // window is never mapped. Click-through comes from the input shape instead.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Removing the wallpaper must never look like the last window closing.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setGeometry(geometry);
    // The properties must be on the window before it is first mapped, when the
    // window manager reads them; winId() creates the native window now.
    nativeId_ = winId();
    setDesktopProperties();
    clearInputShape();
    paintBlackOnMap();
    xcb_flush(x11Connection());
}

void DesktopWindow::showAtBottom() {
    show();
    lower();
}

void DesktopWindow::setDesktopProperties() {
    xcb_connection_t* c = x11Connection();
    const auto w = static_cast<xcb_window_t>(nativeId_);
    const auto atoms =
        internAtoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_DESKTOP",
                        "_NET_WM_STATE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                        "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_BELOW"});
    // Qt 6.4 ignores Qt::WA_X11NetWmWindowTypeDesktop, so the type is set here.
    setAtomList(c, w, atoms[0], {atoms[1]});
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atoms[2], XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    // Qt merges its own states into this list when it maps the window.
    setAtomList(c, w, atoms[3], {atoms[4], atoms[5], atoms[6], atoms[7]});
}

void DesktopWindow::paintBlackOnMap() {
    // Qt creates windows without a background, so until its first paint the
    // server would leave whatever was on screen there (the previous video).
    xcb_connection_t* c = x11Connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t black = screen->black_pixel;
    xcb_change_window_attributes(c, static_cast<xcb_window_t>(nativeId_), XCB_CW_BACK_PIXEL,
                                 &black);
}

void DesktopWindow::clearInputShape() {
    xcb_connection_t* c = x11Connection();
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (shape == nullptr || !shape->present) {
        return;  // Without SHAPE the server cannot pass clicks through; show anyway.
    }
    // An empty input region: the pointer falls through to whatever is beneath,
    // for this window and the video output's child window inside it.
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         static_cast<xcb_window_t>(nativeId_), 0, 0, 0, nullptr);
}

}  // namespace lumivo
