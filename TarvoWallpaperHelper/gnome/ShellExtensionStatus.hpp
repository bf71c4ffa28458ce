#pragma once

#include <optional>
#include <string>

namespace lumivo {

// The uuid of the GNOME Shell extension that shows the wallpaper.
inline constexpr const char* wallpaperExtensionUuid = "lumivo-wallpaper@lumivo.app";

// The wallpaper extension as GNOME Shell reports it: not known to the Shell
// (not installed, or installed after the Shell started), installed but off,
// running, or refused (an error, or a GNOME version it does not declare).
enum class ExtensionStatus { absent, disabled, enabled, failed };

// From the "state" of org.gnome.Shell.Extensions.GetExtensionInfo (absent
// when the Shell does not know the uuid). Enabling and disabling (GNOME 45+)
// count as what they lead away from.
ExtensionStatus extensionStatus(std::optional<double> state);

// What the user is told when asking GNOME Shell to enable the extension did
// not turn it on: a new login when the Shell has not loaded it, else that
// the Shell refused it. `installed`: the extension's files are on disk.
std::string enableProblem(ExtensionStatus status, bool installed);

}  // namespace lumivo
