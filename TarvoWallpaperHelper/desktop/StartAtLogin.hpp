#pragma once

#include <exception>
#include <optional>

#include "AutostartEntry.hpp"

namespace lumivo {

// The "Start at Login" choice of the tray menu: its check mark mirrors whether
// the session's autostart entry exists, read at launch and after each toggle.
// Without an entry (no configuration folder) there is no choice to offer.
class StartAtLogin {
  public:
    explicit StartAtLogin(std::optional<AutostartEntry> entry) : entry_(std::move(entry)) {}

    // The check mark as last read; absent when there is no choice to offer.
    std::optional<bool> checked() const { return checked_; }
    // Reads whether the entry exists.
    void refresh();
    // Writes the entry when it is absent, else removes it; then reads it again.
    // Returns the failure (a message for the user) when that went wrong.
    std::exception_ptr toggle();

  private:
    std::optional<AutostartEntry> entry_;
    std::optional<bool> checked_;
};

}  // namespace lumivo
