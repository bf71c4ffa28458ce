#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BackendChoice.hpp"
#include "Outputs.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// What the session's desktop shell adds to the choice: whether GNOME Shell
// runs with its wallpaper extension enabled, and the wrapper that lets the
// extension say what covers the surfaces. Empty members mean no such shell.
struct DesktopShell {
    std::function<bool()> running;
    std::function<bool()> extensionEnabled;
    std::function<std::unique_ptr<Outputs>(std::unique_ptr<Outputs>)> wrap;
};

// Opens the display backend the session offers a wallpaper (see
// BackendChoice): Plasma's own desktops where plasmashell runs with the
// wallpaper package, else layer-shell surfaces where the Wayland compositor
// has them, else the surfaces GNOME Shell's extension shows, else X11 desktop
// windows (through XWayland in a Wayland session). Asks the session on the
// first open that finds a screen, logs the choice's lines then, and keeps to
// that choice until forget() or until its display can no longer be opened
// (the compositor went away): then the next open asks again. GUI thread only.
class SessionOutputs {
  public:
    using LogLine = std::function<void(const std::string&)>;
    // The output named by the "mainOutput" setting, read at each open ("" for none).
    using MainOutput = std::function<std::string()>;

    // Gives Plasma desktops that an earlier run replaced and never gave back
    // (it crashed) their own wallpapers back, unless another helper runs.
    // `settings` keeps what they had and must outlive this.
    SessionOutputs(MainOutput mainOutput, LogLine log, SettingsStoring& settings,
                   DesktopShell shell = {});

    // Throws HelperError::noMainScreen() when the session has no display the
    // wallpaper can use.
    std::unique_ptr<Outputs> open();
    // The session changed (GNOME's extension went on or off): the next open
    // asks again, and logs again.
    void forget() {
        choice_.reset();
        refused_ = false;
    }

  private:
    // Asks the session which backend to use and logs the choice's lines;
    // throws HelperError when it offers none.
    void choose();
    // Opens the backend of the current choice; throws HelperError when its
    // display cannot be opened.
    std::unique_ptr<Outputs> openChosen() const;

    MainOutput mainOutput_;
    LogLine log_;
    SettingsStoring& settings_;
    DesktopShell shell_;
    std::optional<BackendChoice> choice_;
    bool refused_ = false;  // the integration's line was logged for a refusal
};

}  // namespace lumivo
