#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Rect.hpp"

namespace lumivo {

// One desktop containment of plasmashell as its scripting API reports it.
struct PlasmaDesktop {
    long long id = 0;    // the containment id
    int screen = 0;      // Plasma's screen number; 0 is the primary screen
    Rect geometry;       // the screen's, in global logical pixels
    std::string plugin;  // the wallpaper plugin it shows
    bool operator==(const PlasmaDesktop&) const = default;
};

// The scripts the helper has plasmashell evaluate
// (org.kde.PlasmaShell.evaluateScript), and the reading of what they print.
// Everything the helper puts into a script from elsewhere (ids, saved
// configurations) goes in as a JavaScript string literal or a number it
// formats itself, never as code. Qt-free and pure.
namespace PlasmaScript {

inline constexpr const char* pluginId = "app.lumivo.wallpaper";
// The package's name in metadata.json, by which knownWallpaperPlugins() lists it.
inline constexpr const char* pluginName = "Lumivo Live Wallpaper";

// `text` as a double-quoted JavaScript string literal: quotes, backslashes,
// control characters and the line separators U+2028 and U+2029 escaped.
// Bytes that are not UTF-8 become U+FFFD.
std::string literal(const std::string& text);

// Prints "package <0|1>" and then one line per desktop containment on a
// screen: "<id> <screen> <x> <y> <width> <height> <plugin>".
std::string listDesktops();
struct Listing {
    bool packageKnown = false;
    std::vector<PlasmaDesktop> desktops;
};
// nullopt when the output is not what listDesktops() prints.
std::optional<Listing> parseListing(const std::string& output);

// Prints the desktop's wallpaper plugin and its configuration ("General"
// group) as one line of JSON {"plugin": ..., "config": {...}}; nothing for an
// unknown desktop. Changes nothing.
std::string readWallpaper(long long desktop);
// Shows this package on the desktop, telling it its containment id (setting
// "Desktop"), and prints "ok"; nothing for an unknown desktop.
std::string showPackage(long long desktop);
// Gives the desktop back `saved` (as readWallpaper printed it): its configuration
// first, then its plugin. Leaves a desktop alone whose plugin the user
// changed since (no longer this package).
std::string giveBack(long long desktop, const std::string& saved);

}  // namespace PlasmaScript

}  // namespace lumivo
