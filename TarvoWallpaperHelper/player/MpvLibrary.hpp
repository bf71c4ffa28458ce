#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <string>

namespace lumivo {

// The libmpv client and render functions the player calls, resolved from libmpv.so.2 when
// the first wallpaper plays rather than at start-up: libmpv and the libraries
// it pulls in (ffmpeg and many more) cost about 30 MiB of resident memory that
// an idle helper does not need. Once loaded it stays for the life of the
// process. LUMIVO_MPV_LIBRARY, when set, names another library to load (tests
// use it to make loading fail).
class MpvLibrary {
  public:
    // The process's libmpv, loaded by the first call. Safe from any thread;
    // a failed load is not retried.
    static const MpvLibrary& instance();

    MpvLibrary(const MpvLibrary&) = delete;
    MpvLibrary& operator=(const MpvLibrary&) = delete;

    // Empty once every function below is resolved; otherwise why libmpv cannot
    // be used, and the functions must not be called.
    const std::string& error() const { return error_; }

    decltype(&::mpv_create) mpv_create = nullptr;
    decltype(&::mpv_initialize) mpv_initialize = nullptr;
    decltype(&::mpv_terminate_destroy) mpv_terminate_destroy = nullptr;
    decltype(&::mpv_error_string) mpv_error_string = nullptr;
    decltype(&::mpv_set_option) mpv_set_option = nullptr;
    decltype(&::mpv_set_option_string) mpv_set_option_string = nullptr;
    decltype(&::mpv_request_log_messages) mpv_request_log_messages = nullptr;
    decltype(&::mpv_set_wakeup_callback) mpv_set_wakeup_callback = nullptr;
    decltype(&::mpv_command_async) mpv_command_async = nullptr;
    decltype(&::mpv_wait_event) mpv_wait_event = nullptr;
    decltype(&::mpv_set_property_string) mpv_set_property_string = nullptr;
    decltype(&::mpv_observe_property) mpv_observe_property = nullptr;
    decltype(&::mpv_render_context_create) mpv_render_context_create = nullptr;
    decltype(&::mpv_render_context_set_update_callback) mpv_render_context_set_update_callback =
        nullptr;
    decltype(&::mpv_render_context_update) mpv_render_context_update = nullptr;
    decltype(&::mpv_render_context_render) mpv_render_context_render = nullptr;
    decltype(&::mpv_render_context_report_swap) mpv_render_context_report_swap = nullptr;
    decltype(&::mpv_render_context_free) mpv_render_context_free = nullptr;

  private:
    explicit MpvLibrary(const std::string& name);

    std::string error_;
};

}  // namespace lumivo
