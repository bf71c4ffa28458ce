// The GNOME parts of the helper that need no Shell: what the backend choice
// tells the user while the wallpaper extension is off, the extension's
// reported state, and the Shell's coverage matched to the helper's monitors.
#include <gtest/gtest.h>

#include "BackendChoice.hpp"
#include "HelperError.hpp"
#include "ShellExtensionStatus.hpp"
#include "ShellMonitors.hpp"

namespace lumivo {
namespace {

// Which backend each GNOME session gets is in the backend choice's table
// (tests/session); here: what the user reads when the extension is off.
TEST(GnomeBackendChoice, WithoutTheExtensionTheLogNamesTheEnablingCommand) {
    const BackendChoice choice = BackendChoice::from(
        {.waylandDisplaySet = true, .waylandConnected = true, .x11DisplaySet = true,
         .gnomeShell = true});
    ASSERT_TRUE(choice.integrationLine);
    EXPECT_NE(choice.integrationLine->find("gnome-extensions enable lumivo-wallpaper@lumivo.app"),
              std::string::npos);
}

TEST(GnomeBackendChoice, WithoutTheExtensionOrXWaylandTheAlertExplainsIt) {
    try {
        BackendChoice::from({.waylandDisplaySet = true, .waylandConnected = true,
                             .gnomeShell = true});
        FAIL() << "expected no main screen";
    } catch (const HelperError& error) {
        EXPECT_EQ(error.kind(), HelperError::Case::noMainScreen);
        const std::string text = error.what();
        EXPECT_EQ(text.rfind("No main screen is available. ", 0), 0u) << text;
        EXPECT_NE(text.find("Enable GNOME Integration"), std::string::npos) << text;
        EXPECT_NE(text.find("gnome-extensions enable lumivo-wallpaper@lumivo.app"),
                  std::string::npos);
    }
}

TEST(ShellExtensionStatus, ReadsGnomesStatesIncludingTheTransitionsOfNewerShells) {
    EXPECT_EQ(extensionStatus(std::nullopt), ExtensionStatus::absent);
    EXPECT_EQ(extensionStatus(1.0), ExtensionStatus::enabled);
    EXPECT_EQ(extensionStatus(2.0), ExtensionStatus::disabled);
    EXPECT_EQ(extensionStatus(6.0), ExtensionStatus::disabled);  // loaded, never enabled
    EXPECT_EQ(extensionStatus(3.0), ExtensionStatus::failed);
    EXPECT_EQ(extensionStatus(4.0), ExtensionStatus::failed);    // not for this version
    EXPECT_EQ(extensionStatus(7.0), ExtensionStatus::enabled);   // disabling: still shown
    EXPECT_EQ(extensionStatus(8.0), ExtensionStatus::disabled);  // enabling: not yet
    EXPECT_EQ(extensionStatus(99.0), ExtensionStatus::absent);   // uninstalled
}

TEST(ShellExtensionStatus, AFailedEnableSaysWhetherALoginOrAnInstallIsMissing) {
    EXPECT_NE(enableProblem(ExtensionStatus::absent, true).find("log out and back in"),
              std::string::npos);
    EXPECT_NE(enableProblem(ExtensionStatus::absent, false).find("not installed"),
              std::string::npos);
    EXPECT_NE(enableProblem(ExtensionStatus::failed, true).find("could not start"),
              std::string::npos);
}

TEST(ShellMonitors, CoverageIsMatchedByPositionAndUnreportedMonitorsStayVisible) {
    const std::vector<Monitor> shown{{"Meta-0", {0, 0, 1280, 720}, true},
                                     {"Meta-1", {1280, 0, 2048, 1536}, false},
                                     {"Meta-2", {3328, 0, 800, 600}, false}};
    // The second monitor is scaled 2: the Shell gives its logical size.
    const std::vector<ShellMonitor> reported{{{1280, 0, 1024, 768}, true},
                                             {{0, 0, 1280, 720}, false}};
    EXPECT_EQ(coveredByShell(shown, reported), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(coveredByShell(shown, {}), (std::vector<bool>{false, false, false}));
}

TEST(ShellMonitors, TheShellsActiveMonitorIsFoundByItsCorner) {
    const std::vector<Monitor> monitors{{"DP-1", {0, 0, 1280, 720}, true},
                                        {"DP-2", {1280, 0, 2048, 1536}, false}};
    // Scaled 2, the Shell gives the second half its pixel size.
    EXPECT_EQ(monitorAt(monitors, {1280, 0, 1024, 768}), "DP-2");
    EXPECT_EQ(monitorAt(monitors, {0, 0, 1280, 720}), "DP-1");
    EXPECT_EQ(monitorAt(monitors, {640, 0, 1280, 720}), std::nullopt);
}

}  // namespace
}  // namespace lumivo
