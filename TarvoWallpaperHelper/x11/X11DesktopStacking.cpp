#include "X11DesktopStacking.hpp"

#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

namespace lumivo {
namespace {

// A sorting window that the manager never lists is given up after this.
constexpr int kSortTimeoutMs = 1000;
// Source indication of the requests: a pager's, which managers carry out
// rather than weigh against the user's own actions.
constexpr uint32_t kPager = 2;

}  // namespace

X11DesktopStacking::X11DesktopStacking(const char* display, QObject* parent) : QObject(parent) {
    XcbConnection c(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(c.get())) {
        return;
    }
    connection_ = std::move(c);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
    reader_ = std::make_unique<X11StackingReader>(connection_.get());
    const auto a =
        internAtoms(connection_.get(), {"_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW",
                                        "_NET_SUPPORTED", "_NET_RESTACK_WINDOW"});
    clientListStacking_ = a[0];
    activeWindow_ = a[1];
    supported_ = a[2];
    restackWindow_ = a[3];
    const uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_.get(), root_, XCB_CW_EVENT_MASK, &rootEvents);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { pump(); });
    wake_.setSingleShot(true);
    connect(&wake_, &QTimer::timeout, this, [this] {
        dirty_ = true;
        pump();
    });
    sorterTimeout_.setSingleShot(true);
    sorterTimeout_.setInterval(kSortTimeoutMs);
    connect(&sorterTimeout_, &QTimer::timeout, this, [this] {
        sorter_.reset();
        sortAgain_ = false;
    });
}

X11DesktopStacking::~X11DesktopStacking() {
    sorter_.reset();  // before the connection closes
}

void X11DesktopStacking::setOwnWindows(std::vector<xcb_window_t> windows) {
    if (!connection_) {
        return;
    }
    own_ = std::move(windows);
    dirty_ = true;
    pump();
}

void X11DesktopStacking::pump() {
    const bool alive = drainEvents(
        connection_.get(), [this](const xcb_generic_event_t* event) { handle(event); },
        [this] { return std::exchange(dirty_, false); }, [this] { refresh(); });
    if (!alive) {
        lose();
    }
}

void X11DesktopStacking::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root_) {
                dirty_ = dirty_ || e->atom == clientListStacking_ || e->atom == activeWindow_ ||
                         e->atom == supported_;
                supportedDirty_ = supportedDirty_ || e->atom == supported_;
            }
            return;
        }
        case XCB_CONFIGURE_NOTIFY: {
            // Windows move far more often than they restack: only a new
            // sibling below a top-level window is a restack.
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (e->event == root_) {
                const auto [it, added] = above_.try_emplace(e->window, e->above_sibling);
                if (added || it->second != e->above_sibling) {
                    it->second = e->above_sibling;
                    dirty_ = true;
                }
            }
            return;
        }
        case XCB_DESTROY_NOTIFY:
            above_.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
            dirty_ = true;
            return;
        case XCB_MAP_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
        case XCB_REPARENT_NOTIFY:
            dirty_ = true;
            return;
        default:
            // Errors (response type 0) come from windows that went away between
            // an event and the request it caused.
            return;
    }
}

void X11DesktopStacking::refresh() {
    if (std::exchange(supportedDirty_, false)) {
        keeper_.setRestackSupported(reader_->restackSupported());
    }
    const StackingScene scene = reader_->read(own_);
    if (sorter_ && std::any_of(scene.stack.begin(), scene.stack.end(),
                               [&](const StackedWindow& w) { return w.id == sorter_->id(); })) {
        // The manager has taken the sorting window in: its work is done.
        sorter_.reset();
        sorterTimeout_.stop();
        if (std::exchange(sortAgain_, false)) {
            // Another of the wallpaper's windows went under a see-through
            // desktop window meanwhile, maybe after the sort.
            sortCompositor();
        }
    }
    carryOut(keeper_.update(scene, own_, DesktopStackKeeper::Clock::now()), scene);
}

void X11DesktopStacking::carryOut(const DesktopStackKeeper::Step& step,
                                  const StackingScene& scene) {
    for (const std::string& note : step.notes) {
        emit noted(QString::fromStdString(note));
    }
    for (const DesktopStackKeeper::Request& request : step.requests) {
        send(request, scene);
    }
    if (step.sortCompositor) {
        sortCompositor();
    }
    if (step.wakeAt) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
            *step.wakeAt - DesktopStackKeeper::Clock::now());
        wake_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
    } else {
        wake_.stop();
    }
    xcb_flush(connection_.get());
}

void X11DesktopStacking::send(const DesktopStackKeeper::Request& request,
                              const StackingScene& scene) {
    const uint32_t mode =
        request.side == StackSide::Above ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
    if (request.method == DesktopStackKeeper::Method::Configure) {
        const uint32_t values[] = {request.sibling, mode};
        xcb_configure_window(connection_.get(), request.window,
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
        return;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = request.window;
    if (request.method == DesktopStackKeeper::Method::Restack) {
        event.type = restackWindow_;
        event.data.data32[0] = kPager;
        event.data.data32[1] = request.sibling;
        event.data.data32[2] = mode;
    } else {
        event.type = activeWindow_;
        event.data.data32[0] = kPager;
        event.data.data32[1] = XCB_CURRENT_TIME;
        event.data.data32[2] = scene.active.value_or(XCB_NONE);
    }
    xcb_send_event(connection_.get(), 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

void X11DesktopStacking::sortCompositor() {
    if (sorter_) {
        sortAgain_ = true;
        return;
    }
    sorter_ = std::make_unique<X11SortingWindow>(connection_.get());
    sorterTimeout_.start();
}

// The X server went away: nothing is left to stack.
void X11DesktopStacking::lose() {
    // Called from the notifier's own signal, so it is disabled, not deleted.
    notifier_->setEnabled(false);
    wake_.stop();
    sorterTimeout_.stop();
    sorter_.reset();
    sortAgain_ = false;
}

}  // namespace lumivo
