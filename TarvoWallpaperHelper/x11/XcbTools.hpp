#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

// Small helpers for talking to the X server through xcb, which the X11
// backend's connections share.
namespace lumivo {

struct FreeXcbReply {
    void operator()(void* p) const { std::free(p); }
};
// A reply or event that xcb allocated, freed with it.
template <class T>
using XcbReply = std::unique_ptr<T, FreeXcbReply>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
// A connection of its own to the X server, closed with it.
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// Interns all names in one round trip; an atom the server refuses stays XCB_NONE.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c,
                                    std::initializer_list<std::string_view> names);

// Asks for up to `longs` 32-bit items of `property` of `window`, of type `type`.
xcb_get_property_cookie_t getProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type, uint32_t longs);

// The 32-bit items of a property reply; empty when the property is absent.
std::vector<uint32_t> items32(xcb_connection_t* c, xcb_get_property_cookie_t cookie);

// Handles every event that has arrived on `c`, then calls `refresh` as long as
// `stale` says the events left something to fetch: fetching reads the socket,
// which may queue further events that a socket notifier will not announce
// again. Returns false when the connection broke.
bool drainEvents(xcb_connection_t* c, const std::function<void(const xcb_generic_event_t*)>& handle,
                 const std::function<bool()>& stale, const std::function<void()>& refresh);

}  // namespace lumivo
