#include "X11Display.hpp"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>

#include <mutex>
#include <set>

#include "HelperError.hpp"

namespace lumivo {
namespace {

// For the displays of this class the process-wide handler returns, so that
// Xlib calls the display's exit handler (a no-op) instead of exit(); the
// backend's own dispatch then finds the broken connection and reports it.
// Any other display (Qt's) gets the handler that was there before.
std::mutex ownDisplaysLock;  // mpv's threads may use a display for decoding
std::set<Display*> ownDisplays;
XIOErrorHandler otherHandler = nullptr;

int onIoError(Display* display) {
    {
        const std::lock_guard lock(ownDisplaysLock);
        if (ownDisplays.contains(display)) {
            return 0;
        }
    }
    return otherHandler != nullptr ? otherHandler(display) : 0;
}

}  // namespace

X11Display::X11Display(const std::string& name)
    : display_(XOpenDisplay(name.empty() ? nullptr : name.c_str())) {
    if (display_ == nullptr) {
        throw HelperError::noMainScreen();
    }
    XSetIOErrorExitHandler(
        display_, [](Display*, void*) {}, nullptr);
    {
        const std::lock_guard lock(ownDisplaysLock);
        ownDisplays.insert(display_);
        // Again for each display, in case Qt put its own in front since.
        if (const XIOErrorHandler before = XSetIOErrorHandler(&onIoError); before != &onIoError) {
            otherHandler = before;
        }
    }
    connection_ = XGetXCBConnection(display_);
    XSetEventQueueOwner(display_, XCBOwnsEventQueue);
}

X11Display::~X11Display() {
    // Closing sends requests: on a server gone, that is an I/O error too.
    XCloseDisplay(display_);
    const std::lock_guard lock(ownDisplaysLock);
    ownDisplays.erase(display_);
}

}  // namespace lumivo
