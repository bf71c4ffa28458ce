#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "WaylandProxy.hpp"

namespace lumivo {

// The compositor's windows (wlr-foreign-toplevel-management), reduced to what
// hides a wallpaper: whether the focused window is fullscreen or maximised on
// an output. Only the focused window counts: the protocol does not tell which
// workspace a window is on, and the focused one is always on a shown one, so
// a window elsewhere never pauses the wallpaper. Dispatched with its owner's
// connection. Not movable: listeners point at it.
class ForeignToplevels {
  public:
    // Binds the manager global `name`; `changed` runs after covers() may
    // have changed.
    ForeignToplevels(wl_registry* registry, uint32_t name, uint32_t version,
                     std::function<void()> changed);
    ~ForeignToplevels();
    ForeignToplevels(const ForeignToplevels&) = delete;
    ForeignToplevels& operator=(const ForeignToplevels&) = delete;

    // A focused, not minimised, fullscreen or maximised window is on `output`.
    bool covers(const wl_output* output) const;

  private:
    struct Toplevel {
        ForeignToplevels* owner;
        WaylandProxy<zwlr_foreign_toplevel_handle_v1> handle;
        std::vector<wl_output*> outputs;  // as last told
        bool covering = false;            // as of the last `done`
        bool pending = false;             // from the latest `state`
    };
    static const zwlr_foreign_toplevel_manager_v1_listener managerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener handleListener;
    void remove(Toplevel* toplevel);

    std::function<void()> changed_;
    WaylandProxy<zwlr_foreign_toplevel_manager_v1> manager_;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
};

}  // namespace lumivo
