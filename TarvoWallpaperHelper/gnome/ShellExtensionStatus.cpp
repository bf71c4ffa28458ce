#include "ShellExtensionStatus.hpp"

namespace lumivo {

ExtensionStatus extensionStatus(std::optional<double> state) {
    if (!state) {
        return ExtensionStatus::absent;
    }
    // GNOME's ExtensionState: ENABLED 1, DISABLED 2, ERROR 3, OUT_OF_DATE 4,
    // DOWNLOADING 5, INITIALIZED 6, DISABLING 7, ENABLING 8, UNINSTALLED 99.
    switch (static_cast<int>(*state)) {
        case 1:
        case 7:
            return ExtensionStatus::enabled;
        case 2:
        case 6:
        case 8:
            return ExtensionStatus::disabled;
        case 3:
        case 4:
            return ExtensionStatus::failed;
        default:
            return ExtensionStatus::absent;
    }
}

std::string enableProblem(ExtensionStatus status, bool installed) {
    if (status == ExtensionStatus::failed) {
        return "GNOME Shell could not start the Lumivo Wallpaper extension; it may not support "
               "this version of GNOME.";
    }
    if (status == ExtensionStatus::absent && !installed) {
        return "The Lumivo Wallpaper extension for GNOME Shell is not installed.";
    }
    return "GNOME Shell loads the newly installed Lumivo Wallpaper extension at the next login: "
           "log out and back in, then choose Enable GNOME Integration again.";
}

}  // namespace lumivo
