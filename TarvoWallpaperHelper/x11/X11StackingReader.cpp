#include "X11StackingReader.hpp"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "XcbTools.hpp"

namespace lumivo {
namespace {

constexpr uint32_t kFullOpacity = 0xFFFFFFFF;

bool contains(const std::vector<uint32_t>& list, uint32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// WM_CLASS holds the instance and then the class, each NUL-terminated; the
// class names the program ("Caja", "Xfdesktop"), the instance where it is
// absent. In lower case.
std::string programOf(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 8) {
        return {};
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const std::string both(data,
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    const std::size_t end = both.find('\0');
    std::string name = end == std::string::npos ? std::string() : both.substr(end + 1);
    name = name.substr(0, name.find('\0'));
    if (name.empty()) {
        name = both.substr(0, end);
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return name;
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

X11StackingReader::X11StackingReader(xcb_connection_t* connection) : connection_(connection) {
    // The screen the wallpaper's windows are on: X11Outputs uses the first.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem;
         xcb_depth_next(&depth)) {
        for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
             xcb_visualtype_next(&visual)) {
            depths_[visual.data->visual_id] = depth.data->depth;
        }
    }
    const auto a = internAtoms(
        connection_, {"_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW", "_NET_SUPPORTED",
                      "_NET_RESTACK_WINDOW", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP",
                      "_NET_WM_WINDOW_OPACITY", "_NET_WM_OPAQUE_REGION", "_NET_WM_CM_S0"});
    atoms_ = {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]};
}

bool X11StackingReader::restackSupported() {
    return contains(items32(connection_,
                            getProperty(connection_, root_, atoms_.supported, XCB_ATOM_ATOM, 1024)),
                    atoms_.restackWindow);
}

StackingScene X11StackingReader::read(const std::vector<xcb_window_t>& own) {
    xcb_connection_t* c = connection_;
    const auto listCookie = getProperty(c, root_, atoms_.clientListStacking, XCB_ATOM_WINDOW, 4096);
    const auto activeCookie = getProperty(c, root_, atoms_.activeWindow, XCB_ATOM_WINDOW, 1);
    // A compositing manager owns this selection; only then does transparency count.
    const auto compositorCookie = xcb_get_selection_owner(c, atoms_.compositor);
    const std::vector<uint32_t> stack = items32(c, listCookie);
    const std::vector<uint32_t> active = items32(c, activeCookie);
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, compositorCookie, nullptr));

    learn(stack);
    StackingScene scene;
    for (xcb_window_t w : stack) {
        const Known& known = known_[w];
        scene.stack.push_back({w, {}, known.desktop, false, known.program});
    }
    if (!active.empty() && active[0] != XCB_NONE) {
        scene.active = active[0];
    }
    place(scene, own, owner && owner->owner != XCB_NONE);
    return scene;
}

// Reads type, program and visual of the windows new to the stacking list, in
// one round trip, and forgets the ones that left it.
void X11StackingReader::learn(const std::vector<xcb_window_t>& stack) {
    xcb_connection_t* c = connection_;
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
                               xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
                               xcb_get_window_attributes(c, w)});
        }
    }
    for (const Pending& p : pending) {
        Known known;
        known.desktop = contains(items32(c, p.type), atoms_.typeDesktop);
        known.program = programOf(c, p.wmClass);
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, p.attributes, nullptr));
        if (attributes) {
            const auto depth = depths_.find(attributes->visual);
            known.argb = depth != depths_.end() && depth->second == 32;
        }
        known_[p.window] = std::move(known);
    }
}

// Where the desktop windows and the wallpaper's own are, and which desktop
// windows let what is under them show through, in one round trip.
void X11StackingReader::place(StackingScene& scene, const std::vector<xcb_window_t>& own,
                              bool compositing) {
    xcb_connection_t* c = connection_;
    struct Pending {
        StackedWindow* window;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t opacity, opaqueRegion;
    };
    std::vector<Pending> pending;
    for (StackedWindow& w : scene.stack) {
        if (w.desktop || std::find(own.begin(), own.end(), w.id) != own.end()) {
            pending.push_back({&w, xcb_get_geometry(c, w.id),
                               xcb_translate_coordinates(c, w.id, root_, 0, 0),
                               getProperty(c, w.id, atoms_.opacity, XCB_ATOM_CARDINAL, 1),
                               getProperty(c, w.id, atoms_.opaqueRegion, XCB_ATOM_CARDINAL, 64)});
        }
    }
    for (const Pending& p : pending) {
        StackedWindow& w = *p.window;
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, p.geometry, nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> origin(
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
}

}  // namespace lumivo
