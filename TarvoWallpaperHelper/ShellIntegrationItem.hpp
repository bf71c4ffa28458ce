#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ShellIntegrating.hpp"
#include "TrayMenu.hpp"

namespace lumivo {

// "Enable GNOME Integration" in the tray menu: offered while GNOME Shell's
// wallpaper extension is installed but off, and turning it on. The wallpaper
// moves into the Shell's background on its own once the extension runs (the
// player follows the extension); this only says how the request ended.
// GUI thread only.
class ShellIntegrationItem {
  public:
    using Say = std::function<void(const std::string&)>;

    // Without `integration` (no GNOME Shell), nothing is offered. `log` gets
    // the outcome of enable(); `notice` shows the user what stands in the way.
    ShellIntegrationItem(std::unique_ptr<ShellIntegrating> integration, TrayMenu& menu, Say log,
                         Say notice);

    // The menu offers the item from now on while the extension is off.
    void follow();
    // Asks the Shell to turn the extension on; it answers later.
    void enable();

  private:
    void offer();

    std::unique_ptr<ShellIntegrating> integration_;
    TrayMenu& menu_;
    Say log_;
    Say notice_;
};

}  // namespace lumivo
