#include "X11Outputs.hpp"

#include <poll.h>
#include <xcb/dri2.h>
#include <xcb/randr.h>
#include <xcb/shape.h>
#include <xcb/shm.h>

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QSignalBlocker>
#include <QStringList>
#include <cstdlib>

#include "HelperError.hpp"
#include "X11FrameBuffer.hpp"

namespace lumivo {
namespace {

constexpr unsigned kEglPlatformX11 = 0x31D5;  // EGL_PLATFORM_X11_KHR
// RandR reports a change as several events in a row; one look after them.
constexpr int kRescanDelayMs = 100;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

X11Outputs::X11Outputs(const std::string& display)
    : display_(display), connection_(display_.connection()) {
    xcb_prefetch_extension_data(connection_, &xcb_randr_id);
    xcb_prefetch_extension_data(connection_, &xcb_shm_id);
    xcb_prefetch_extension_data(connection_, &xcb_shape_id);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    rootVisual_ = screen->root_visual;

    if (const auto* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
        randr != nullptr && randr->present) {
        Reply<xcb_randr_query_version_reply_t> version(
            xcb_randr_query_version_reply(connection_, xcb_randr_query_version(connection_, 1, 5),
                                          nullptr),
            &std::free);
        randr15_ = version && (version->major_version > 1 || version->minor_version >= 5);
        randrEvents_ = randr->first_event;
        xcb_randr_select_input(connection_, root_,
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    }
    const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &rootEvents);
    if (const auto* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
        shm != nullptr && shm->present) {
        shm_ = true;
    }
    directRendering_ = hasExtension("DRI3") || hasDri2Driver() || hasExtension("NV-GLX");
    monitors_ = queryMonitors();
    if (monitors_.empty()) {
        throw HelperError::noMainScreen();
    }
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { dispatch(true); });
    // Waiting for a reply can read events into xcb's queue, where the socket
    // notifier no longer sees them; look there (without a read) before the
    // event loop sleeps. Then send what this pass drew: a picture put after
    // an expose while the video is paused would otherwise wait in xcb's
    // buffer until something else flushes it.
    aboutToBlock_ = connect(QAbstractEventDispatcher::instance(),
                            &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                                const QPointer<X11Outputs> alive(this);
                                dispatch(false);
                                if (alive) {
                                    xcb_flush(connection_);
                                }
                            });
    coverage_ = std::make_unique<X11Coverage>(display.empty() ? nullptr : display.c_str());
    connect(coverage_.get(), &X11Coverage::hiddenChanged, this, &Outputs::hiddenChanged);
    stacking_ = std::make_unique<X11DesktopStacking>(display.empty() ? nullptr : display.c_str());
    connect(stacking_.get(), &X11DesktopStacking::noted, this, &Outputs::noted);
    rescanSoon_.setSingleShot(true);
    rescanSoon_.setInterval(kRescanDelayMs);
    connect(&rescanSoon_, &QTimer::timeout, this, &X11Outputs::rescan);
}

X11Outputs::~X11Outputs() {
    disconnect(aboutToBlock_);
    notifier_.reset();
    outputs_.clear();  // before the connection closes
}

bool X11Outputs::hasExtension(std::string_view name) {
    Reply<xcb_query_extension_reply_t> reply(
        xcb_query_extension_reply(
            connection_,
            xcb_query_extension(connection_, static_cast<uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply && reply->present;
}

bool X11Outputs::hasDri2Driver() {
    // Xorg offers DRI2 even where no video driver backs it (the dummy driver,
    // a framebuffer): only a driver name means hardware rendering.
    if (!hasExtension("DRI2")) {
        return false;
    }
    std::free(xcb_dri2_query_version_reply(connection_, xcb_dri2_query_version(connection_, 1, 4),
                                           nullptr));
    Reply<xcb_dri2_connect_reply_t> reply(
        xcb_dri2_connect_reply(
            connection_, xcb_dri2_connect(connection_, root_, XCB_DRI2_DRIVER_TYPE_DRI), nullptr),
        &std::free);
    return reply && reply->driver_name_length > 0;
}

std::vector<Monitor> X11Outputs::queryMonitors() {
    std::vector<Monitor> found;
    if (randr15_) {
        Reply<xcb_randr_get_monitors_reply_t> reply(
            xcb_randr_get_monitors_reply(connection_, xcb_randr_get_monitors(connection_, root_, 1),
                                         nullptr),
            &std::free);
        if (reply) {
            std::vector<xcb_get_atom_name_cookie_t> names;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t* m = it.data;
                found.push_back({{}, {m->x, m->y, m->width, m->height}, m->primary != 0});
                names.push_back(xcb_get_atom_name(connection_, m->name));
            }
            for (std::size_t i = 0; i < names.size(); ++i) {
                Reply<xcb_get_atom_name_reply_t> name(
                    xcb_get_atom_name_reply(connection_, names[i], nullptr), &std::free);
                if (name) {
                    found[i].name.assign(
                        xcb_get_atom_name_name(name.get()),
                        static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())));
                }
            }
        }
    }
    if (found.empty()) {
        // No RandR 1.5: the whole screen is one monitor.
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        Reply<xcb_get_geometry_reply_t> root(
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr),
            &std::free);
        const int width = root ? root->width : screen->width_in_pixels;
        const int height = root ? root->height : screen->height_in_pixels;
        if (width > 0 && height > 0) {
            found.push_back({"screen", {0, 0, width, height}, true});
        }
    }
    return found;
}

void X11Outputs::dispatch(bool readSocket) {
    bool redraw = false;
    QStringList destroyed;  // monitors whose window another client destroyed
    while (xcb_generic_event_t* raw = readSocket ? xcb_poll_for_event(connection_)
                                                 : xcb_poll_for_queued_event(connection_)) {
        Reply<xcb_generic_event_t> event(raw, &std::free);
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_EXPOSE) {
            redraw = redraw || reinterpret_cast<xcb_expose_event_t*>(raw)->count == 0;
        } else if (type == XCB_REPARENT_NOTIFY) {
            const auto* e = reinterpret_cast<xcb_reparent_notify_event_t*>(raw);
            for (auto& output : outputs_) {
                if (output->window() == e->window && e->parent != root_) {
                    output->passClicksThrough();
                    xcb_flush(connection_);
                }
            }
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            if (reinterpret_cast<xcb_configure_notify_event_t*>(raw)->window == root_) {
                rescanSoon_.start();
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            const xcb_window_t window = reinterpret_cast<xcb_destroy_notify_event_t*>(raw)->window;
            for (auto& output : outputs_) {
                // Windows this backend destroyed itself are no longer listed.
                if (output->window() == window) {
                    output->forgetWindow();
                    destroyed << QString::fromStdString(output->monitor().name);
                }
            }
        } else if (randrEvents_ != 0 && (type == randrEvents_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                         type == randrEvents_ + XCB_RANDR_NOTIFY)) {
            rescanSoon_.start();
        }
    }
    if (xcb_connection_has_error(connection_) != 0) {
        notifier_->setEnabled(false);
        disconnect(aboutToBlock_);
        rescanSoon_.stop();
        emit lost(QStringLiteral("the connection to the X server was lost"));
        return;
    }
    if (!destroyed.isEmpty()) {
        // As when a compositor closes a surface: told once, and a new window
        // only comes with the next layout, never in a loop with whatever
        // destroys them.
        emit lost(QStringLiteral("the wallpaper window on %1 was destroyed")
                      .arg(destroyed.join(QStringLiteral(", "))));
        return;
    }
    if (redraw) {
        emit redrawNeeded();
    }
}

void X11Outputs::rescan() {
    auto now = queryMonitors();
    if (now != monitors_) {
        monitors_ = std::move(now);
        emit monitorsChanged();
    }
}

std::vector<Output*> X11Outputs::showOn(const std::vector<std::size_t>& monitors) {
    std::vector<std::unique_ptr<X11Output>> kept;
    for (std::size_t index : monitors) {
        const Monitor& monitor = monitors_.at(index);
        // The window that was on a monitor of this name follows it.
        std::unique_ptr<X11Output> output;
        for (auto& old : outputs_) {
            if (old && old->window() != 0 && old->monitor().name == monitor.name) {
                output = std::move(old);
                break;
            }
        }
        if (output) {
            output->moveTo(monitor);
        } else {
            output = std::make_unique<X11Output>(connection_, monitor);
        }
        kept.push_back(std::move(output));
    }
    outputs_ = std::move(kept);  // destroys the windows of monitors not shown on
    xcb_flush(connection_);
    std::vector<Output*> shown;
    std::vector<QRect> covered;
    std::vector<xcb_window_t> windows;
    for (auto& output : outputs_) {
        shown.push_back(output.get());
        windows.push_back(output->window());
        const Rect& g = output->monitor().geometry;
        covered.emplace_back(g.x, g.y, g.width, g.height);
    }
    {
        // The caller reads hidden() after this; the signal is for changes of
        // the windows alone.
        const QSignalBlocker quiet(coverage_.get());
        coverage_->setMonitors(covered);
    }
    stacking_->setOwnWindows(std::move(windows));
    return shown;
}

std::unique_ptr<FrameBuffer> X11Outputs::createFrameBuffer(int width, int height) {
    // The canvas shows itself on this backend's windows only; the player
    // never keeps one past its backend.
    return std::make_unique<X11FrameBuffer>(
        connection_, width, height, shm_, [this](const Output& output) -> X11Output* {
            for (const auto& shown : outputs_) {
                if (shown.get() == &output && shown->window() != 0) {
                    return shown.get();
                }
            }
            return nullptr;
        });
}

std::optional<std::string> X11Outputs::focusedMonitor() const {
    const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr),
        &std::free);
    if (!pointer || pointer->same_screen == 0) {
        return std::nullopt;
    }
    for (const Monitor& monitor : monitors_) {
        const Rect& g = monitor.geometry;
        if (pointer->root_x >= g.x && pointer->root_x < g.x + g.width && pointer->root_y >= g.y &&
            pointer->root_y < g.y + g.height) {
            return monitor.name;
        }
    }
    return std::nullopt;
}

bool X11Outputs::connected() const {
    if (xcb_connection_has_error(connection_) != 0) {
        return false;
    }
    // xcb learns that the server went away only when it next reads, which
    // may be after events still waiting in the socket; the socket knows at once.
    pollfd socket{xcb_get_file_descriptor(connection_), POLLRDHUP, 0};
    return ::poll(&socket, 1, 0) == 0 || (socket.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0;
}

EglNativeDisplay X11Outputs::eglDisplay() const {
    return {kEglPlatformX11, display_.get(), rootVisual_};
}

}  // namespace lumivo
