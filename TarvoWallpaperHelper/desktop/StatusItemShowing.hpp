#pragma once

#include <string>

#include "StatusMenu.hpp"

namespace lumivo {

// The helper's tray icon with its menu. Menu choices come back through the
// handler given when the item is made. Called on the GUI thread only.
class StatusItemShowing {
  public:
    virtual ~StatusItemShowing() = default;
    // Replaces the menu with `menu`.
    virtual void setMenu(const StatusMenu& menu) = 0;
    virtual void setToolTip(const std::string& text) = 0;
};

}  // namespace lumivo
