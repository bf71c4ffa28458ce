#pragma once

#include <functional>
#include <optional>
#include <string>

namespace lumivo {

// The desktop shell's integration that the tray can turn on: GNOME Shell's
// wallpaper extension. GUI thread only.
class ShellIntegrating {
  public:
    virtual ~ShellIntegrating() = default;
    // Whether "Enable GNOME Integration" is offered: the Shell runs and the
    // extension is installed but off.
    virtual bool offersEnabling() const = 0;
    // Turns it on; `done` gets nullopt once it is on, else what the user
    // should know (a new login first, for one).
    virtual void enable(std::function<void(std::optional<std::string>)> done) = 0;
    // `changed` runs whenever offersEnabling() may have changed.
    virtual void onChanged(std::function<void()> changed) = 0;
};

}  // namespace lumivo
