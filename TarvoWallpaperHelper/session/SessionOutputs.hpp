#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BackendChoice.hpp"
#include "Outputs.hpp"

namespace lumivo {

// Opens the display backend the session offers a wallpaper: background
// layer-shell surfaces where the Wayland compositor has them, else X11 desktop
// windows (through XWayland in a Wayland session). Asks the session on the
// first open that finds a screen, logs the choice's one line then, and keeps
// to that choice while its display can be opened; when it no longer can (the
// compositor went away), asks again. GUI thread only.
class SessionOutputs {
  public:
    using LogLine = std::function<void(const std::string&)>;
    // The output named by the "mainOutput" setting, read at each open ("" for none).
    using MainOutput = std::function<std::string()>;

    SessionOutputs(MainOutput mainOutput, LogLine log);

    // Throws HelperError::noMainScreen() when the session has no display the
    // wallpaper can use.
    std::unique_ptr<Outputs> open();

  private:
    // Opens the backend of the current choice; throws HelperError when its
    // display cannot be opened.
    std::unique_ptr<Outputs> openChosen() const;

    MainOutput mainOutput_;
    LogLine log_;
    std::optional<BackendChoice::Backend> backend_;
};

}  // namespace lumivo
