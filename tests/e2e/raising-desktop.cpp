// A desktop program that will not stay under any other desktop window, for
// the test of the wallpaper's restack cap: it shows a grey desktop-type
// window over the whole screen and, whenever the window manager lists another
// desktop window above it, raises its own over that one at once, as a pager
// asks (_NET_RESTACK_WINDOW).
//
// Prints "ready" once the window manager lists its window. Then, each time
// it finds itself covered after it was on top, it raises itself and prints
// "raised <milliseconds since the start>" when the window over it was listed
// before (the other side restacked it), or "appeared <ms>" when it is new.
// Runs until killed.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<uint32_t> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name,
                               xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, 4096), nullptr),
        &std::free);
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

}  // namespace

int main() {
    const auto start = std::chrono::steady_clock::now();
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fputs("no X server\n", stderr);
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t stacking = atom(c, "_NET_CLIENT_LIST_STACKING");
    const xcb_atom_t type = atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = atom(c, "_NET_WM_WINDOW_TYPE_DESKTOP");
    const xcb_atom_t restack = atom(c, "_NET_RESTACK_WINDOW");

    const xcb_window_t own = xcb_generate_id(c);
    const uint32_t grey = 0x808080;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, own, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, &grey);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, own, type, XCB_ATOM_ATOM, 32, 1, &desktop);
    const char wmClass[] = "raising-desktop\0Raising-desktop";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, own, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof wmClass, wmClass);
    const uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_map_window(c, own);
    xcb_flush(c);

    std::unordered_map<xcb_window_t, bool> isDesktop;
    bool ready = false;
    bool onTop = true;             // until the list shows otherwise
    std::vector<uint32_t> before;  // the list as last seen
    while (Reply<xcb_generic_event_t> event{xcb_wait_for_event(c), &std::free}) {
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY ||
            reinterpret_cast<xcb_property_notify_event_t*>(event.get())->atom != stacking) {
            continue;
        }
        const std::vector<uint32_t> list = property(c, screen->root, stacking, XCB_ATOM_WINDOW);
        const std::vector<uint32_t> seen = std::exchange(before, list);
        std::size_t at = list.size();
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i] == own) {
                at = i;
            }
        }
        if (at == list.size()) {
            continue;
        }
        if (!ready) {
            ready = true;
            std::puts("ready");
            std::fflush(stdout);
        }
        xcb_window_t over = XCB_NONE;
        for (std::size_t i = at + 1; i < list.size(); ++i) {
            auto known = isDesktop.find(list[i]);
            if (known == isDesktop.end()) {
                const auto types = property(c, list[i], type, XCB_ATOM_ATOM);
                known = isDesktop
                            .emplace(list[i],
                                     std::find(types.begin(), types.end(), desktop) != types.end())
                            .first;
            }
            if (known->second) {
                over = list[i];
            }
        }
        if (over == XCB_NONE) {
            onTop = true;
            continue;
        }
        if (!onTop) {
            continue;  // raised already; the manager has not carried it out yet
        }
        onTop = false;
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = own;
        message.type = restack;
        message.data.data32[0] = 2;
        message.data.data32[1] = over;
        message.data.data32[2] = XCB_STACK_MODE_ABOVE;
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        const bool restacked = std::find(seen.begin(), seen.end(), over) != seen.end();
        std::printf("%s %lld\n", restacked ? "raised" : "appeared", static_cast<long long>(ms));
        std::fflush(stdout);
    }
    return 0;
}
