#include "XcbTools.hpp"

namespace lumivo {

std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c,
                                    std::initializer_list<std::string_view> names) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (auto name : names) {
        cookies.push_back(xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()));
    }
    std::vector<xcb_atom_t> atoms;
    for (auto cookie : cookies) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
        atoms.push_back(reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE});
    }
    return atoms;
}

xcb_get_property_cookie_t getProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type, uint32_t longs) {
    return xcb_get_property(c, 0, window, property, type, 0, longs);
}

std::vector<uint32_t> items32(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

bool drainEvents(xcb_connection_t* c, const std::function<void(const xcb_generic_event_t*)>& handle,
                 const std::function<bool()>& stale, const std::function<void()>& refresh) {
    for (;;) {
        while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            handle(event.get());
        }
        if (xcb_connection_has_error(c)) {
            return false;
        }
        if (!stale()) {
            return true;
        }
        refresh();
    }
}

}  // namespace lumivo
