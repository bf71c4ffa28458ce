// The GNOME parts of the helper that need no Shell: the backend choice with
// and without the wallpaper extension, the extension's reported state, and
// the Shell's coverage matched to the helper's monitors.
#include <gtest/gtest.h>

#include "BackendChoice.hpp"
#include "HelperError.hpp"
#include "ShellExtensionStatus.hpp"
#include "ShellMonitors.hpp"

namespace lumivo {
namespace {

using Backend = BackendChoice::Backend;

SessionOffer gnomeWayland(bool extension, bool xwayland) {
    return {true, true, false, xwayland, true, extension};
}

TEST(GnomeBackendChoice, TheExtensionShowsToplevelsOnWaylandWithOrWithoutXWayland) {
    for (const bool xwayland : {false, true}) {
        const BackendChoice choice = BackendChoice::from(gnomeWayland(true, xwayland));
        EXPECT_EQ(choice.backend, Backend::shellToplevels);
        EXPECT_TRUE(choice.throughShell);
        EXPECT_EQ(choice.logLine, std::nullopt);
        EXPECT_EQ(choice.integrationLine, std::nullopt);
    }
}

TEST(GnomeBackendChoice, AnX11SessionKeepsItsDesktopWindowsThroughTheExtension) {
    const BackendChoice choice = BackendChoice::from({false, false, false, true, true, true});
    EXPECT_EQ(choice.backend, Backend::x11);
    EXPECT_TRUE(choice.throughShell);
}

TEST(GnomeBackendChoice, WithoutTheExtensionXWaylandStaysAndTheLogSaysHowToTurnItOn) {
    const BackendChoice choice = BackendChoice::from(gnomeWayland(false, true));
    EXPECT_EQ(choice.backend, Backend::x11);
    EXPECT_FALSE(choice.throughShell);
    ASSERT_TRUE(choice.logLine);
    EXPECT_NE(choice.logLine->find("no background layer"), std::string::npos);
    ASSERT_TRUE(choice.integrationLine);
    EXPECT_NE(choice.integrationLine->find("gnome-extensions enable lumivo-wallpaper@lumivo.app"),
              std::string::npos);
}

TEST(GnomeBackendChoice, WithoutTheExtensionOrXWaylandTheAlertExplainsIt) {
    try {
        BackendChoice::from(gnomeWayland(false, false));
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

TEST(GnomeBackendChoice, OtherSessionsSayNothingAboutGnome) {
    const BackendChoice choice = BackendChoice::from({true, true, false, true, false, false});
    EXPECT_EQ(choice.integrationLine, std::nullopt);
    EXPECT_THROW(BackendChoice::from({true, true, false, false, false, false}), HelperError);
    try {
        BackendChoice::from({true, true, false, false, false, false});
    } catch (const HelperError& error) {
        EXPECT_EQ(error, HelperError::noMainScreen());
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

}  // namespace
}  // namespace lumivo
