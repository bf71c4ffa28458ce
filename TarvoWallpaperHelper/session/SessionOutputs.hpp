#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BackendChoice.hpp"
#include "Outputs.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// Opens the display backend the session offers a wallpaper: Plasma's own
// desktops where plasmashell runs with the wallpaper package, else
// layer-shell surfaces where the Wayland compositor has them, else X11
// desktop windows (through XWayland in a Wayland session). Asks the session
// on the first open that finds a screen, logs the choice's one line then, and
// keeps to that choice. GUI thread only.
class SessionOutputs {
  public:
    using LogLine = std::function<void(const std::string&)>;
    // The output named by the "mainOutput" setting, read at each open ("" for none).
    using MainOutput = std::function<std::string()>;

    // Gives Plasma desktops that an earlier run replaced and never gave back
    // (it crashed) their own wallpapers back, unless another helper runs. `settings` keeps what
    // they had and must outlive this.
    SessionOutputs(MainOutput mainOutput, LogLine log, SettingsStoring& settings);

    // Throws HelperError::noMainScreen() when the session has no display the
    // wallpaper can use.
    std::unique_ptr<Outputs> open();

  private:
    MainOutput mainOutput_;
    LogLine log_;
    SettingsStoring& settings_;
    std::optional<BackendChoice::Backend> backend_;
    bool bottomLayer_ = false;
};

}  // namespace lumivo
