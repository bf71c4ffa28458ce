#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PlasmaScript.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// plasmashell's desktops and the wallpapers they had before the helper's
// package: puts the package on a desktop, and gives each desktop its own
// wallpaper (plugin and configuration) back. What each desktop had is kept
// in the settings (group "plasmaDesktops") from the moment it is replaced
// until it is given back, so that a helper that crashed gives it back on its
// next start. GUI thread only; `settings` must outlive it.
class PlasmaDesktops {
  public:
    // Has plasmashell evaluate a script and returns what it printed; throws
    // std::runtime_error when plasmashell cannot be reached or the script fails.
    using Evaluate = std::function<std::string(const std::string& script)>;
    using LogLine = std::function<void(const std::string&)>;

    PlasmaDesktops(Evaluate evaluate, SettingsStoring& settings, LogLine log);

    // An evaluator over the session bus when org.kde.plasmashell is on it.
    static std::optional<Evaluate> sessionShell();

    // The desktops on a screen and whether plasmashell knows the package.
    // Throws std::runtime_error when the answer cannot be had or read.
    PlasmaScript::Listing list() const;
    // Shows the package on `desktop`, remembering first what it had unless a
    // remembered wallpaper is kept already (the package's own configuration
    // is never remembered as the user's). Throws std::runtime_error.
    void use(long long desktop);
    // Gives `desktop` its remembered wallpaper back and forgets it; a failure
    // is logged and the entry kept, for the next try.
    void giveBack(long long desktop);
    // Gives every remembered desktop its wallpaper back (also those that an
    // earlier run replaced and never gave back).
    void giveBackAll();
    // The desktops with a remembered wallpaper, in the order replaced.
    std::vector<long long> remembered() const;

  private:
    void setRemembered(const std::vector<long long>& ids);
    static std::string key(long long desktop);

    Evaluate evaluate_;
    SettingsStoring& settings_;
    LogLine log_;
};

}  // namespace lumivo
