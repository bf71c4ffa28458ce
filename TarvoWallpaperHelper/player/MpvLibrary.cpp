#include "MpvLibrary.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <memory>

namespace lumivo {
namespace {

// The soname belongs to the major version of the client API in the headers
// the player is compiled against.
static_assert(MPV_CLIENT_API_VERSION >> 16 == 2, "libmpv.so.2 carries client API 2");
constexpr const char* kLibrary = "libmpv.so.2";

struct Unload {
    void operator()(void* handle) const { dlclose(handle); }
};

std::string lastDlError() {
    const char* error = dlerror();
    return error != nullptr ? error : "unknown error";
}

}  // namespace

const MpvLibrary& MpvLibrary::instance() {
    static const MpvLibrary library([] {
        const char* name = std::getenv("LUMIVO_MPV_LIBRARY");
        return std::string(name != nullptr && *name != '\0' ? name : kLibrary);
    }());
    return library;
}

MpvLibrary::MpvLibrary(const std::string& name) {
    // RTLD_NOW: a library missing a symbol fails here, not in the middle of
    // playback. RTLD_LOCAL: its symbols do not leak into later lookups.
    std::unique_ptr<void, Unload> handle(dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        error_ = name + " could not be loaded: " + lastDlError();
        return;
    }
    // Members are named after the functions they hold, so the name looked up
    // can only be the member's own.
#define LUMIVO_RESOLVE(function)                                                         \
    if (error_.empty()) {                                                                \
        function = reinterpret_cast<decltype(function)>(dlsym(handle.get(), #function)); \
        if (function == nullptr) {                                                       \
            error_ = name + " could not be loaded: " + lastDlError();                    \
        }                                                                                \
    }
    LUMIVO_RESOLVE(mpv_create)
    LUMIVO_RESOLVE(mpv_initialize)
    LUMIVO_RESOLVE(mpv_terminate_destroy)
    LUMIVO_RESOLVE(mpv_error_string)
    LUMIVO_RESOLVE(mpv_set_option)
    LUMIVO_RESOLVE(mpv_set_option_string)
    LUMIVO_RESOLVE(mpv_request_log_messages)
    LUMIVO_RESOLVE(mpv_set_wakeup_callback)
    LUMIVO_RESOLVE(mpv_command_async)
    LUMIVO_RESOLVE(mpv_wait_event)
    LUMIVO_RESOLVE(mpv_set_property_string)
    LUMIVO_RESOLVE(mpv_observe_property)
    LUMIVO_RESOLVE(mpv_render_context_create)
    LUMIVO_RESOLVE(mpv_render_context_set_update_callback)
    LUMIVO_RESOLVE(mpv_render_context_update)
    LUMIVO_RESOLVE(mpv_render_context_render)
    LUMIVO_RESOLVE(mpv_render_context_report_swap)
    LUMIVO_RESOLVE(mpv_render_context_free)
#undef LUMIVO_RESOLVE
    if (error_.empty()) {
        // Kept for the life of the process: mpv's threads and exit handlers
        // may run its code until the very end.
        static_cast<void>(handle.release());
    }
}

}  // namespace lumivo
