#pragma once

#include <functional>

#include "WaylandOutputInfo.hpp"
#include "WaylandProxy.hpp"

namespace lumivo {

// A bound wl_output (with its xdg_output, when the compositor offers those)
// and what the compositor says about it. Not movable: the listeners point at
// it. Must be destroyed before its display.
class WaylandOutput {
  public:
    WaylandOutput(wl_registry* registry, uint32_t globalName, uint32_t version);
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    // Asks for the output's name and logical geometry; once is enough.
    void describeWith(zxdg_output_manager_v1* manager);
    // Called whenever the compositor finished describing a change.
    void onChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    wl_output* output() const { return output_.get(); }
    const WaylandOutputInfo& info() const { return info_; }

  private:
    static const wl_output_listener outputListener;
    static const zxdg_output_v1_listener xdgOutputListener;
    void finish();

    WaylandOutputInfo info_;
    bool logicalFromXdg_ = false;
    std::function<void()> changed_;
    WaylandProxy<wl_output> output_;
    WaylandProxy<zxdg_output_v1> xdgOutput_;
};

}  // namespace lumivo
