#include "X11DesktopStacking.hpp"

#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace lumivo {
namespace {

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

// A sorting window that the manager never lists is given up after this.
constexpr int kSortTimeoutMs = 1000;
constexpr uint32_t kFullOpacity = 0xFFFFFFFF;

xcb_get_property_cookie_t getProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                      xcb_atom_t type, uint32_t longs) {
    return xcb_get_property(c, 0, w, property, type, 0, longs);
}

// The 32-bit items of a property reply; empty when the property is absent.
std::vector<uint32_t> items32(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

// WM_CLASS holds the instance and then the class, each NUL-terminated; the
// class names the program ("Caja", "Xfdesktop"), the instance where it is absent.
std::string programOf(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 8) {
        return {};
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const std::string both(data,
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    const std::size_t end = both.find('\0');
    std::string name = end == std::string::npos ? both : both.substr(end + 1);
    name = name.substr(0, name.find('\0'));
    if (name.empty()) {
        name = both.substr(0, end);
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return name;
}

bool contains(const std::vector<uint32_t>& list, uint32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Whether an opaque region (x, y, width, height quadruples) covers a whole
// window of this size.
bool coversWhole(const std::vector<uint32_t>& region, int width, int height) {
    for (std::size_t i = 0; i + 3 < region.size(); i += 4) {
        if (region[i] == 0 && region[i + 1] == 0 && static_cast<int>(region[i + 2]) >= width &&
            static_cast<int>(region[i + 3]) >= height) {
            return true;
        }
    }
    return false;
}

}  // namespace

X11DesktopStacking::X11DesktopStacking(const char* display, QObject* parent) : QObject(parent) {
    std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(c.get())) {
        return;
    }
    connection_ = std::move(c);
    // The screen the wallpaper's windows are on (X11Outputs uses the first).
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
    root_ = screen->root;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem;
         xcb_depth_next(&depth)) {
        for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
             xcb_visualtype_next(&visual)) {
            depths_[visual.data->visual_id] = depth.data->depth;
        }
    }
    internAtoms();
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
        endSort();
        xcb_flush(connection_.get());
    });
}

X11DesktopStacking::~X11DesktopStacking() {
    if (connection_) {
        endSort();
        xcb_flush(connection_.get());
    }
}

void X11DesktopStacking::internAtoms() {
    xcb_connection_t* c = connection_.get();
    const char* names[] = {"_NET_CLIENT_LIST_STACKING",
                           "_NET_ACTIVE_WINDOW",
                           "_NET_SUPPORTED",
                           "_NET_RESTACK_WINDOW",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DESKTOP",
                           "_NET_WM_WINDOW_TYPE_UTILITY",
                           "_NET_WM_WINDOW_OPACITY",
                           "_NET_WM_OPAQUE_REGION",
                           "_NET_WM_CM_S0",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_SKIP_TASKBAR",
                           "_NET_WM_STATE_SKIP_PAGER",
                           "_NET_WM_USER_TIME",
                           "_MOTIF_WM_HINTS"};
    xcb_atom_t* out[] = {&atoms_.clientListStacking, &atoms_.activeWindow, &atoms_.supported,
                         &atoms_.restackWindow,      &atoms_.windowType,   &atoms_.typeDesktop,
                         &atoms_.typeUtility,        &atoms_.opacity,      &atoms_.opaqueRegion,
                         &atoms_.compositor,         &atoms_.wmState,      &atoms_.skipTaskbar,
                         &atoms_.skipPager,          &atoms_.userTime,     &atoms_.motifHints};
    static_assert(std::size(names) == std::size(out));
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (std::size_t i = 0; i < std::size(names); ++i) {
        cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    }
    for (std::size_t i = 0; i < std::size(names); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        *out[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
}

void X11DesktopStacking::setOwnWindows(std::vector<xcb_window_t> windows) {
    if (!connection_) {
        return;
    }
    own_ = std::move(windows);
    dirty_ = true;
    pump();
}

// Handles every event that has arrived and looks at the scene again while
// they made it stale: reading replies may queue further events that the
// notifier will not announce again.
void X11DesktopStacking::pump() {
    xcb_connection_t* c = connection_.get();
    for (;;) {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            handle(event.get());
        }
        if (xcb_connection_has_error(c)) {
            lose();
            return;
        }
        if (!dirty_) {
            break;
        }
        dirty_ = false;
        refresh();
    }
}

void X11DesktopStacking::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root_) {
                dirty_ = dirty_ || e->atom == atoms_.clientListStacking ||
                         e->atom == atoms_.activeWindow || e->atom == atoms_.supported;
                supportedDirty_ = supportedDirty_ || e->atom == atoms_.supported;
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

void X11DesktopStacking::readSupported() {
    supportedDirty_ = false;
    xcb_connection_t* c = connection_.get();
    const auto supported = items32(c, getProperty(c, root_, atoms_.supported, XCB_ATOM_ATOM, 1024));
    keeper_.setRestackSupported(contains(supported, atoms_.restackWindow));
}

void X11DesktopStacking::refresh() {
    xcb_connection_t* c = connection_.get();
    if (supportedDirty_) {
        readSupported();
    }
    const auto listCookie = getProperty(c, root_, atoms_.clientListStacking, XCB_ATOM_WINDOW, 4096);
    const auto activeCookie = getProperty(c, root_, atoms_.activeWindow, XCB_ATOM_WINDOW, 1);
    const auto compositorCookie = xcb_get_selection_owner(c, atoms_.compositor);
    const std::vector<uint32_t> stack = items32(c, listCookie);
    const std::vector<uint32_t> active = items32(c, activeCookie);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, compositorCookie, nullptr));
    const bool compositing = owner && owner->owner != XCB_NONE;

    learn(stack);
    StackingScene now = scene(stack, compositing);
    if (!active.empty() && active[0] != XCB_NONE) {
        now.active = active[0];
    }
    if (sorter_ != 0 && contains(stack, sorter_)) {
        // The manager has taken the sorting window in; its work is done.
        endSort();
    }
    carryOut(keeper_.update(now, own_, DesktopStackKeeper::Clock::now()), now);
}

// Reads type, program and visual of the windows new to the stacking list, in
// one round trip, and forgets the ones that left it.
void X11DesktopStacking::learn(const std::vector<xcb_window_t>& stack) {
    xcb_connection_t* c = connection_.get();
    const std::unordered_set<xcb_window_t> listed(stack.begin(), stack.end());
    std::erase_if(known_, [&](const auto& entry) { return !listed.contains(entry.first); });
    struct Pending {
        xcb_window_t window;
        xcb_get_property_cookie_t type, wmClass;
        xcb_get_window_attributes_cookie_t attributes;
    };
    std::vector<Pending> pending;
    for (xcb_window_t w : stack) {
        if (!known_.contains(w)) {
            pending.push_back({w, getProperty(c, w, atoms_.windowType, XCB_ATOM_ATOM, 32),
                               getProperty(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                               xcb_get_window_attributes(c, w)});
        }
    }
    for (const Pending& p : pending) {
        Known known;
        known.desktop = contains(items32(c, p.type), atoms_.typeDesktop);
        known.program = programOf(c, p.wmClass);
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, p.attributes, nullptr));
        if (attributes) {
            const auto depth = depths_.find(attributes->visual);
            known.argb = depth != depths_.end() && depth->second == 32;
        }
        known_[p.window] = std::move(known);
    }
}

// The stacking list with what the keeper needs of each window: geometry and
// transparency for the desktop windows and the wallpaper's own, in one round
// trip.
StackingScene X11DesktopStacking::scene(const std::vector<xcb_window_t>& stack, bool compositing) {
    xcb_connection_t* c = connection_.get();
    struct Pending {
        std::size_t index;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t opacity, opaqueRegion;
    };
    StackingScene result;
    std::vector<Pending> pending;
    for (xcb_window_t w : stack) {
        const Known& known = known_[w];
        result.stack.push_back({w, {}, known.desktop, false, known.program});
        const bool own = std::find(own_.begin(), own_.end(), w) != own_.end();
        if (known.desktop || own) {
            pending.push_back({result.stack.size() - 1, xcb_get_geometry(c, w),
                               xcb_translate_coordinates(c, w, root_, 0, 0),
                               getProperty(c, w, atoms_.opacity, XCB_ATOM_CARDINAL, 1),
                               getProperty(c, w, atoms_.opaqueRegion, XCB_ATOM_CARDINAL, 64)});
        }
    }
    for (const Pending& p : pending) {
        StackedWindow& w = result.stack[p.index];
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, p.geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> origin(
            xcb_translate_coordinates_reply(c, p.origin, nullptr));
        if (geometry && origin) {
            w.frame = {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
        }
        const std::vector<uint32_t> opacity = items32(c, p.opacity);
        const std::vector<uint32_t> opaque = items32(c, p.opaqueRegion);
        // Without a compositing manager the server draws every window opaque,
        // alpha channel or not.
        const bool translucent = !opacity.empty() && opacity[0] != kFullOpacity;
        const bool alpha = known_[w.id].argb && !coversWhole(opaque, w.frame.width, w.frame.height);
        w.seeThrough = compositing && (translucent || alpha);
    }
    return result;
}

void X11DesktopStacking::carryOut(const DesktopStackKeeper::Step& step,
                                  const StackingScene& scene) {
    for (const std::string& note : step.notes) {
        emit noted(QString::fromStdString(note));
    }
    for (const DesktopStackKeeper::Request& request : step.requests) {
        send(request, scene);
    }
    if (step.sortCompositor && sorter_ == 0) {
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
    // Source indication 2: a pager's request, which managers carry out
    // rather than weigh against the user's own actions.
    constexpr uint32_t kPager = 2;
    switch (request.method) {
        case DesktopStackKeeper::Method::Restack:
            clientMessage(request.window, atoms_.restackWindow,
                          {kPager, request.sibling, mode, 0, 0});
            return;
        case DesktopStackKeeper::Method::Configure: {
            const uint32_t values[] = {request.sibling, mode};
            xcb_configure_window(connection_.get(), request.window,
                                 XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
            return;
        }
        case DesktopStackKeeper::Method::Activate:
            clientMessage(request.window, atoms_.activeWindow,
                          {kPager, XCB_CURRENT_TIME, scene.active.value_or(XCB_NONE), 0, 0});
            return;
    }
}

void X11DesktopStacking::clientMessage(xcb_window_t window, xcb_atom_t type,
                                       const uint32_t (&data)[5]) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(std::begin(data), std::end(data), event.data.data32);
    xcb_send_event(connection_.get(), 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

// muffin keeps desktop windows in a group of their own, which it sorts only
// when the order of the ordinary windows changes: until then it paints the
// wallpaper's window, added last, over a see-through desktop window that the
// window manager has stacked above it, and the desktop icons are missing. A
// window of ours that it manages for a moment makes it sort them all. It is
// one transparent pixel that takes no focus and shows in no task bar.
void X11DesktopStacking::sortCompositor() {
    xcb_connection_t* c = connection_.get();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    std::optional<xcb_visualid_t> argb;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem && !argb;
         xcb_depth_next(&depth)) {
        if (depth.data->depth != 32) {
            continue;
        }
        for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
             xcb_visualtype_next(&visual)) {
            if (visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                argb = visual.data->visual_id;
                break;
            }
        }
    }
    sorter_ = xcb_generate_id(c);
    if (argb) {
        sorterColormap_ = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, sorterColormap_, root_, *argb);
        const uint32_t values[] = {0, 0, sorterColormap_};  // transparent background and border
        xcb_create_window(c, 32, sorter_, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          *argb, XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
    } else {
        const uint32_t values[] = {screen->black_pixel};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, sorter_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                          values);
    }
    const auto set = [&](xcb_atom_t property, xcb_atom_t type, std::vector<uint32_t> values) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, sorter_, property, type, 32,
                            static_cast<uint32_t>(values.size()), values.data());
    };
    set(atoms_.windowType, XCB_ATOM_ATOM, {atoms_.typeUtility});
    set(atoms_.wmState, XCB_ATOM_ATOM, {atoms_.skipTaskbar, atoms_.skipPager});
    set(atoms_.userTime, XCB_ATOM_CARDINAL, {0});                // mapping must not focus it
    set(atoms_.motifHints, atoms_.motifHints, {2, 0, 0, 0, 0});  // no decorations
    set(XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, {1, 0, 0, 0, 0, 0, 0, 0, 0});  // no input
    constexpr std::string_view wmClass("lumivo-wallpaper\0Lumivo\0", 24);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, sorter_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    xcb_map_window(c, sorter_);
    sorterTimeout_.start();
}

void X11DesktopStacking::endSort() {
    sorterTimeout_.stop();
    if (sorter_ != 0) {
        xcb_destroy_window(connection_.get(), sorter_);
        sorter_ = 0;
    }
    if (sorterColormap_ != 0) {
        xcb_free_colormap(connection_.get(), sorterColormap_);
        sorterColormap_ = 0;
    }
}

// The X server went away: nothing is left to stack.
void X11DesktopStacking::lose() {
    // Called from the notifier's own signal, so it is disabled, not deleted.
    notifier_->setEnabled(false);
    wake_.stop();
    sorterTimeout_.stop();
    sorter_ = 0;
    sorterColormap_ = 0;
}

}  // namespace lumivo
