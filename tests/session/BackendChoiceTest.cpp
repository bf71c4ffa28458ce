// The choice of display backend over every kind of session the helper meets:
// wlroots compositors, KWin with and without Plasma's package, GNOME Shell
// with and without its extension, plain X11, and nothing at all.
#include <gtest/gtest.h>

#include "BackendChoice.hpp"
#include "HelperError.hpp"

namespace lumivo {
namespace {

using Backend = BackendChoice::Backend;

struct Row {
    const char* name;
    SessionOffer offer;
    std::optional<Backend> backend;  // nullopt: no main screen
    const char* logLine = nullptr;   // nullptr: nothing logged
    bool throughShell = false;       // GNOME Shell's extension shows the surfaces
    bool gnomeRemedy = false;        // the line, or the alert, on turning the extension on
    bool bottomLayer = false;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class BackendChoiceTest : public testing::TestWithParam<Row> {};

TEST_P(BackendChoiceTest, ChoosesFromWhatTheSessionOffers) {
    const Row& row = GetParam();
    if (!row.backend) {
        try {
            BackendChoice::from(row.offer);
            FAIL() << "expected no main screen";
        } catch (const HelperError& error) {
            EXPECT_EQ(error, row.gnomeRemedy ? HelperError::noMainScreen(gnomeIntegrationRemedy)
                                             : HelperError::noMainScreen());
        }
        return;
    }
    BackendChoice choice = BackendChoice::from(row.offer);
    EXPECT_EQ(choice.backend, *row.backend);
    EXPECT_EQ(choice.logLine,
              row.logLine ? std::optional<std::string>(row.logLine) : std::nullopt);
    EXPECT_EQ(choice.throughShell, row.throughShell);
    EXPECT_EQ(choice.integrationLine, row.gnomeRemedy
                                          ? std::optional<std::string>(gnomeIntegrationOffLine)
                                          : std::nullopt);
    EXPECT_EQ(choice.bottomLayer, row.bottomLayer);
}

constexpr const char* noBackgroundLayer =
    "The compositor offers no background layer, so an X11 desktop window is used and its "
    "placement is up to the compositor.";
constexpr const char* unreachable =
    "The Wayland compositor named by WAYLAND_DISPLAY cannot be reached, so an X11 desktop "
    "window is used.";
constexpr const char* noPlasmaPackage =
    "Without the Plasma wallpaper package app.lumivo.wallpaper, the wallpaper is drawn over the "
    "desktop, so the desktop's icons and widgets are hidden under it.";
constexpr const char* plasmaCoversX11 =
    "The Plasma wallpaper package app.lumivo.wallpaper is not installed, so Plasma's desktop "
    "hides the wallpaper.";

// A compositor that answered on WAYLAND_DISPLAY, with or without layer-shell.
constexpr SessionOffer wayland(bool layerShell, bool xwayland) {
    return {.waylandDisplaySet = true,
            .waylandConnected = true,
            .layerShell = layerShell,
            .x11DisplaySet = xwayland};
}

constexpr SessionOffer kwin(bool plasmashell, bool package) {
    return {.waylandDisplaySet = true,
            .waylandConnected = true,
            .layerShell = true,
            .kwin = true,
            .x11DisplaySet = true,
            .plasma = plasmashell,
            .plasmaPackage = package};
}

constexpr SessionOffer gnomeWayland(bool extension, bool xwayland) {
    return {.waylandDisplaySet = true,
            .waylandConnected = true,
            .x11DisplaySet = xwayland,
            .gnomeShell = true,
            .shellExtension = extension};
}

constexpr SessionOffer x11Session{.x11DisplaySet = true};

INSTANTIATE_TEST_SUITE_P(
    Sessions, BackendChoiceTest,
    testing::Values(
        // wlroots compositors, and what is left without a background layer
        Row{"LayerShellSession", wayland(true, false), Backend::layerShell},
        Row{"LayerShellWinsOverXWayland", wayland(true, true), Backend::layerShell},
        Row{"NoLayerShellFallsBackToXWayland", wayland(false, true), Backend::x11,
            noBackgroundLayer},
        Row{"NoLayerShellNoXWayland", wayland(false, false), std::nullopt},
        Row{"UnreachableCompositorFallsBackToX11",
            {.waylandDisplaySet = true, .x11DisplaySet = true},
            Backend::x11,
            unreachable},
        Row{"UnreachableCompositorWithoutX11", {.waylandDisplaySet = true}, std::nullopt},
        Row{"PlainX11Session", x11Session, Backend::x11},
        Row{"NoDisplayAtAll", {}, std::nullopt},
        // KDE Plasma and KWin
        Row{"PlasmaWithThePackagePlaysInsideItsDesktops", kwin(true, true), Backend::plasma},
        Row{"PlasmaOnX11WithThePackage",
            {.x11DisplaySet = true, .plasma = true, .plasmaPackage = true},
            Backend::plasma},
        Row{.name = "KWinWithoutThePackageTakesTheBottomLayer",
            .offer = kwin(true, false),
            .backend = Backend::layerShell,
            .logLine = noPlasmaPackage,
            .bottomLayer = true},
        Row{.name = "KWinWithoutPlasmashellTakesTheBottomLayerQuietly",
            .offer = kwin(false, false),
            .backend = Backend::layerShell,
            .bottomLayer = true},
        Row{"PlasmaOnX11WithoutThePackageSaysItIsHidden",
            {.x11DisplaySet = true, .plasma = true},
            Backend::x11,
            plasmaCoversX11},
        // GNOME Shell, with and without its extension
        Row{.name = "GnomeExtensionShowsToplevels",
            .offer = gnomeWayland(true, false),
            .backend = Backend::shellToplevels,
            .throughShell = true},
        Row{.name = "GnomeExtensionShowsToplevelsAlsoWithXWayland",
            .offer = gnomeWayland(true, true),
            .backend = Backend::shellToplevels,
            .throughShell = true},
        Row{.name = "GnomeX11SessionKeepsItsDesktopWindowsThroughTheExtension",
            .offer = {.x11DisplaySet = true, .gnomeShell = true, .shellExtension = true},
            .backend = Backend::x11,
            .throughShell = true},
        Row{.name = "GnomeWithoutTheExtensionKeepsXWaylandAndSaysHowToTurnItOn",
            .offer = gnomeWayland(false, true),
            .backend = Backend::x11,
            .logLine = noBackgroundLayer,
            .gnomeRemedy = true},
        Row{.name = "GnomeWithoutTheExtensionOrXWaylandExplainsItInTheAlert",
            .offer = gnomeWayland(false, false),
            .backend = std::nullopt,
            .gnomeRemedy = true},
        Row{.name = "GnomeX11SessionWithoutTheExtensionSaysHowToTurnItOn",
            .offer = {.x11DisplaySet = true, .gnomeShell = true},
            .backend = Backend::x11,
            .gnomeRemedy = true}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
