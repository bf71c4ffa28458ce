#include "X11ScreenSaver.hpp"

#include <xcb/screensaver.h>

#include <QSocketNotifier>

namespace lumivo {
namespace {

// "Cycle" is the saver starting over while it runs: still blanked.
bool blanking(std::uint8_t state) {
    return state == XCB_SCREENSAVER_STATE_ON || state == XCB_SCREENSAVER_STATE_CYCLE;
}

}  // namespace

X11ScreenSaver::X11ScreenSaver(const char* display, QObject* parent) : QObject(parent) {
    XcbConnection c(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(c.get())) {
        return;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(c.get(), &xcb_screensaver_id);
    if (extension == nullptr || !extension->present) {
        return;
    }
    notifyEvent_ = static_cast<std::uint8_t>(extension->first_event + XCB_SCREENSAVER_NOTIFY);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
    // Selected before the state is asked, so that no change falls in between.
    xcb_screensaver_select_input(c.get(), root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
    const XcbReply<xcb_screensaver_query_info_reply_t> info(xcb_screensaver_query_info_reply(
        c.get(), xcb_screensaver_query_info(c.get(), root), nullptr));
    blanked_ = info && blanking(info->state);
    connection_ = std::move(c);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { pump(); });
    pump();
}

X11ScreenSaver::~X11ScreenSaver() = default;

void X11ScreenSaver::pump() {
    xcb_connection_t* c = connection_.get();
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        if ((event->response_type & 0x7f) == notifyEvent_) {
            set(blanking(
                reinterpret_cast<const xcb_screensaver_notify_event_t*>(event.get())->state));
        }
    }
    if (xcb_connection_has_error(c)) {
        // Called from the notifier's own signal, so it is disabled, not deleted.
        notifier_->setEnabled(false);
        set(false);
    }
}

void X11ScreenSaver::set(bool blanked) {
    if (blanked_ != blanked) {
        blanked_ = blanked;
        emit changed();
    }
}

}  // namespace lumivo
