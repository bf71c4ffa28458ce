#include "X11Coverage.hpp"

#include <QSocketNotifier>
#include <algorithm>
#include <unordered_set>
#include <utility>

namespace lumivo {
namespace {

constexpr uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr uint32_t kClientEvents = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

bool contains(const std::vector<uint32_t>& list, uint32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

X11Coverage::X11Coverage(const char* display, QObject* parent) : QObject(parent) {
    XcbConnection c(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(c.get())) {
        return;
    }
    connection_ = std::move(c);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
    internAtoms();
    const uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_.get(), root_, XCB_CW_EVENT_MASK, &rootEvents);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { pump(); });
    pump();
}

X11Coverage::~X11Coverage() = default;

bool X11Coverage::connected() const {
    return connection_ && !xcb_connection_has_error(connection_.get());
}

void X11Coverage::internAtoms() {
    const auto a = lumivo::internAtoms(
        connection_.get(),
        {"_NET_CLIENT_LIST_STACKING", "_NET_CURRENT_DESKTOP", "_NET_WM_DESKTOP", "_NET_WM_STATE",
         "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
         "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_SHADED", "_NET_WM_WINDOW_TYPE",
         "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DOCK", "_NET_FRAME_EXTENTS"});
    atoms_ = {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12]};
}

void X11Coverage::setMonitors(const std::vector<QRect>& monitors) {
    monitors_.clear();
    for (const QRect& r : monitors) {
        monitors_.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    recompute();
}

void X11Coverage::pump() {
    const bool alive = drainEvents(
        connection_.get(), [this](const xcb_generic_event_t* event) { handle(event); },
        [this] {
            return listDirty_ || desktopDirty_ ||
                   std::any_of(clients_.begin(), clients_.end(),
                               [](const auto& entry) { return entry.second.dirty != 0; });
        },
        [this] { refresh(); });
    if (!alive) {
        lose();
        return;
    }
    recompute();
}

void X11Coverage::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root_) {
                listDirty_ = listDirty_ || e->atom == atoms_.clientListStacking;
                desktopDirty_ = desktopDirty_ || e->atom == atoms_.currentDesktop;
                return;
            }
            const auto it = clients_.find(e->window);
            if (it == clients_.end()) {
                return;
            }
            unsigned& dirty = it->second.dirty;
            if (e->atom == atoms_.wmState) {
                dirty |= kState;
            } else if (e->atom == atoms_.wmDesktop) {
                dirty |= kDesktop;
            } else if (e->atom == atoms_.windowType) {
                dirty |= kType;
            } else if (e->atom == atoms_.frameExtents) {
                dirty |= kExtents;
            }
            return;
        }
        case XCB_CONFIGURE_NOTIFY: {
            // Real ones are relative to the frame; the window manager sends
            // synthetic ones when it moves the frame. Either way, ask again.
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (const auto it = clients_.find(e->window); it != clients_.end()) {
                it->second.dirty |= kGeometry;
            }
            return;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
            if (const auto it = clients_.find(e->window); it != clients_.end()) {
                it->second.dirty |= kGeometry;
            }
            return;
        }
        case XCB_MAP_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if (const auto it = clients_.find(e->window); it != clients_.end()) {
                it->second.window.mapped = true;
            }
            return;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
            if (const auto it = clients_.find(e->window); it != clients_.end()) {
                it->second.window.mapped = false;
            }
            return;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            clients_.erase(e->window);
            return;
        }
        default:
            // Errors (response type 0) come from windows that vanished between
            // an event and the request it caused; DestroyNotify follows.
            return;
    }
}

void X11Coverage::refresh() {
    if (listDirty_ || desktopDirty_) {
        refreshClientList();
    }
    refreshClients();
}

void X11Coverage::refreshClientList() {
    xcb_connection_t* c = connection_.get();
    const bool list = std::exchange(listDirty_, false);
    const bool desktop = std::exchange(desktopDirty_, false);
    const auto listCookie = getProperty(c, root_, atoms_.clientListStacking, XCB_ATOM_WINDOW, 4096);
    const auto desktopCookie = getProperty(c, root_, atoms_.currentDesktop, XCB_ATOM_CARDINAL, 1);
    const std::vector<uint32_t> stacking = items32(c, listCookie);
    const std::vector<uint32_t> current = items32(c, desktopCookie);
    if (desktop) {
        currentDesktop_ = current.empty() ? std::nullopt : std::optional<uint32_t>(current[0]);
    }
    if (!list) {
        return;
    }
    const std::unordered_set<xcb_window_t> now(stacking.begin(), stacking.end());
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (now.contains(it->first)) {
            ++it;
            continue;
        }
        // Withdrawn but maybe not destroyed: stop its events (an error if it is
        // gone, which is ignored).
        const uint32_t none = 0;
        xcb_change_window_attributes(c, it->first, XCB_CW_EVENT_MASK, &none);
        it = clients_.erase(it);
    }
    for (xcb_window_t w : stacking) {
        if (!clients_.contains(w)) {
            // Events first, so that no change between the reads below and the
            // selection is missed.
            xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &kClientEvents);
            clients_.emplace(w, Client{});
        }
    }
}

// Sends every request the stale clients need at once and then collects the
// replies: one round trip per batch of events.
void X11Coverage::refreshClients() {
    xcb_connection_t* c = connection_.get();
    struct Pending {
        xcb_window_t window;
        unsigned parts;
        xcb_get_property_cookie_t state, desktop, type, extents;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_window_attributes_cookie_t attributes;
    };
    std::vector<Pending> pending;
    for (auto& [window, client] : clients_) {
        if (client.dirty == 0) {
            continue;
        }
        Pending p{};
        p.window = window;
        p.parts = std::exchange(client.dirty, 0);
        if (p.parts & kState) {
            p.state = getProperty(c, window, atoms_.wmState, XCB_ATOM_ATOM, 64);
        }
        if (p.parts & kDesktop) {
            p.desktop = getProperty(c, window, atoms_.wmDesktop, XCB_ATOM_CARDINAL, 1);
        }
        if (p.parts & kType) {
            p.type = getProperty(c, window, atoms_.windowType, XCB_ATOM_ATOM, 64);
        }
        if (p.parts & kExtents) {
            p.extents = getProperty(c, window, atoms_.frameExtents, XCB_ATOM_CARDINAL, 4);
        }
        if (p.parts & kGeometry) {
            p.geometry = xcb_get_geometry(c, window);
            p.origin = xcb_translate_coordinates(c, window, root_, 0, 0);
        }
        if (p.parts & kMapState) {
            p.attributes = xcb_get_window_attributes(c, window);
        }
        pending.push_back(p);
    }
    std::vector<xcb_window_t> gone;
    for (const Pending& p : pending) {
        Client& client = clients_.at(p.window);
        ClientWindow& w = client.window;
        if (p.parts & kState) {
            const std::vector<uint32_t> state = items32(c, p.state);
            w.fullscreen = contains(state, atoms_.fullscreen);
            w.maximisedVert = contains(state, atoms_.maximizedVert);
            w.maximisedHorz = contains(state, atoms_.maximizedHorz);
            w.minimised = contains(state, atoms_.hidden);
            w.shaded = contains(state, atoms_.shaded);
        }
        if (p.parts & kDesktop) {
            const std::vector<uint32_t> desktop = items32(c, p.desktop);
            w.desktop = desktop.empty() || desktop[0] == kAllDesktops
                            ? std::nullopt
                            : std::optional<uint32_t>(desktop[0]);
        }
        if (p.parts & kType) {
            const std::vector<uint32_t> type = items32(c, p.type);
            w.ignored = contains(type, atoms_.typeDesktop) || contains(type, atoms_.typeDock);
        }
        if (p.parts & kExtents) {
            const std::vector<uint32_t> e = items32(c, p.extents);
            for (size_t i = 0; i < 4; ++i) {
                client.extents[i] = e.size() == 4 ? static_cast<int>(e[i]) : 0;
            }
        }
        if (p.parts & kGeometry) {
            XcbReply<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(c, p.geometry, nullptr));
            XcbReply<xcb_translate_coordinates_reply_t> origin(
                xcb_translate_coordinates_reply(c, p.origin, nullptr));
            if (!geometry || !origin) {
                gone.push_back(p.window);
            } else {
                const int border = geometry->border_width;
                client.inner = {origin->dst_x - border, origin->dst_y - border,
                                geometry->width + 2 * border, geometry->height + 2 * border};
            }
        }
        if (p.parts & kMapState) {
            XcbReply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(c, p.attributes, nullptr));
            if (!attributes) {
                gone.push_back(p.window);
            } else {
                w.mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
            }
        }
        const auto& [left, right, top, bottom] = client.extents;
        w.frame = {client.inner.x - left, client.inner.y - top, client.inner.width + left + right,
                   client.inner.height + top + bottom};
    }
    for (xcb_window_t w : gone) {
        clients_.erase(w);
    }
}

void X11Coverage::recompute() {
    std::vector<ClientWindow> windows;
    windows.reserve(clients_.size());
    for (const auto& entry : clients_) {
        windows.push_back(entry.second.window);
    }
    std::vector<bool> hidden = hiddenMonitors(monitors_, windows, currentDesktop_);
    if (hidden != hidden_) {
        hidden_ = std::move(hidden);
        emit hiddenChanged();
    }
}

// The X server went away: nothing can hide the wallpaper any more.
void X11Coverage::lose() {
    // Called from the notifier's own signal, so it is disabled, not deleted.
    notifier_->setEnabled(false);
    clients_.clear();
    currentDesktop_.reset();
    recompute();
}

}  // namespace lumivo
