#include <gtest/gtest.h>

#include <map>

#include "FakePlasmaShell.hpp"
#include "MapSettings.hpp"
#include "PlasmaDesktops.hpp"

namespace lumivo {
namespace {

class PlasmaDesktopsTest : public testing::Test {
  protected:
    void SetUp() override {
        shell.run(R"JS(
            plasma.desktops[1] = new Desktop(1, 0, "org.kde.image");
            plasma.desktops[1].configs["Wallpaper/org.kde.image/General"] =
                {Image: "file:///home/u/Pictures/lake.png", FillMode: 2};
            plasma.desktops[7] = new Desktop(7, 1, "org.kde.color");
            plasma.desktops[7].configs["Wallpaper/org.kde.color/General"] = {Color: "#112233"};
            plasma.desktops[9] = new Desktop(9, -1, "org.kde.image");
        )JS");
    }
    PlasmaDesktops desktops() {
        return PlasmaDesktops(shell.evaluator(), settings,
                              [this](const std::string& line) { logged.push_back(line); });
    }

    FakePlasmaShell shell;
    MapSettings settings;
    std::vector<std::string> logged;
};

TEST_F(PlasmaDesktopsTest, ListsTheDesktopsOnScreensAndWhetherThePackageIsKnown) {
    auto listing = desktops().list();
    EXPECT_FALSE(listing.packageKnown);
    ASSERT_EQ(listing.desktops.size(), 2u);  // desktop 9 is on no screen
    EXPECT_EQ(listing.desktops[0], (PlasmaDesktop{1, 0, {0, 0, 1280, 720}, "org.kde.image"}));
    EXPECT_EQ(listing.desktops[1], (PlasmaDesktop{7, 1, {1280, 0, 1280, 720}, "org.kde.color"}));
    shell.run("plasma.known['Lumivo Live Wallpaper'] = []");
    EXPECT_TRUE(desktops().list().packageKnown);
}

TEST_F(PlasmaDesktopsTest, UsingADesktopShowsThePackageAndTellsItsContainment) {
    desktops().use(7);
    EXPECT_EQ(shell.plugin(7), "app.lumivo.wallpaper");
    EXPECT_EQ(shell.config(7, "app.lumivo.wallpaper", "Desktop"), "7");
    EXPECT_EQ(shell.plugin(1), "org.kde.image");  // the other desktop keeps its own
}

TEST_F(PlasmaDesktopsTest, GivingBackRestoresThePluginAndItsConfiguration) {
    auto plasma = desktops();
    plasma.use(1);
    plasma.giveBack(1);
    EXPECT_EQ(shell.plugin(1), "org.kde.image");
    EXPECT_EQ(shell.config(1, "org.kde.image", "Image"), "file:///home/u/Pictures/lake.png");
    EXPECT_EQ(shell.config(1, "org.kde.image", "FillMode"), "2");
    EXPECT_TRUE(plasma.remembered().empty());
    EXPECT_TRUE(settings.values.empty());
}

TEST_F(PlasmaDesktopsTest, ANewRunGivesBackWhatACrashedRunLeft) {
    desktops().use(1);
    desktops().use(7);
    // The helper that did that is gone; a new one starts with the settings.
    auto next = desktops();
    EXPECT_EQ(next.remembered(), (std::vector<long long>{1, 7}));
    next.giveBackAll();
    EXPECT_EQ(shell.plugin(1), "org.kde.image");
    EXPECT_EQ(shell.plugin(7), "org.kde.color");
    EXPECT_EQ(shell.config(7, "org.kde.color", "Color"), "#112233");
}

TEST_F(PlasmaDesktopsTest, WhatADesktopHadIsKeptBeforeItChanges) {
    shell.answersLeft = 1;  // it reads the wallpaper, then nothing more gets through
    EXPECT_THROW(desktops().use(1), std::runtime_error);
    EXPECT_EQ(desktops().remembered(), (std::vector<long long>{1}));
    shell.answersLeft = -1;
    shell.run("plasma.desktops[1].wallpaperPlugin = 'app.lumivo.wallpaper'");
    desktops().giveBackAll();
    EXPECT_EQ(shell.plugin(1), "org.kde.image");
    EXPECT_EQ(shell.config(1, "org.kde.image", "Image"), "file:///home/u/Pictures/lake.png");
}

TEST_F(PlasmaDesktopsTest, ThePackageIsNeverRememberedAsTheUsersWallpaper) {
    auto plasma = desktops();
    plasma.use(1);
    plasma.use(1);  // again, as after a restart that lost nothing
    plasma.giveBack(1);
    EXPECT_EQ(shell.plugin(1), "org.kde.image");

    // A desktop that shows the package with nothing remembered (settings lost).
    shell.run("plasma.desktops[7].wallpaperPlugin = 'app.lumivo.wallpaper'");
    plasma.use(7);
    EXPECT_TRUE(plasma.remembered().empty());
}

TEST_F(PlasmaDesktopsTest, AWallpaperTheUserChoseMeanwhileIsLeftAlone) {
    auto plasma = desktops();
    plasma.use(1);
    shell.run("plasma.desktops[1].wallpaperPlugin = 'org.kde.slideshow'");
    plasma.giveBack(1);
    EXPECT_EQ(shell.plugin(1), "org.kde.slideshow");
    EXPECT_TRUE(plasma.remembered().empty());
}

TEST_F(PlasmaDesktopsTest, ConfigurationTextThatLooksLikeCodeComesBackAsText) {
    shell.run(R"JS(plasma.desktops[1].configs["Wallpaper/org.kde.image/General"].Image =
        "\"); plasma.desktops[7].wallpaperPlugin = 'pwned'; (\"\\\u2028\n</script>";)JS");
    const std::string before = shell.config(1, "org.kde.image", "Image");
    auto plasma = desktops();
    plasma.use(1);
    plasma.giveBack(1);
    EXPECT_EQ(shell.config(1, "org.kde.image", "Image"), before);
    EXPECT_EQ(shell.plugin(7), "org.kde.color");
}

TEST_F(PlasmaDesktopsTest, ADamagedEntryGivesPlasmasDefaultWallpaper) {
    auto plasma = desktops();
    plasma.use(1);
    settings.values["plasmaDesktops/1"] = "{\"plugin\": 12";
    plasma.giveBack(1);
    EXPECT_EQ(shell.plugin(1), "org.kde.image");
    EXPECT_EQ(shell.config(1, "org.kde.image", "Image"), "file:///home/u/Pictures/lake.png");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("damaged"), std::string::npos);
    EXPECT_TRUE(plasma.remembered().empty());
}

TEST_F(PlasmaDesktopsTest, DamagedIdsAreSkipped) {
    settings.values["plasmaDesktops/ids"] = "1 x -3 7 7 99999999999999999999";
    EXPECT_EQ(desktops().remembered(), (std::vector<long long>{1, 7}));
}

TEST_F(PlasmaDesktopsTest, AShellThatFailsKeepsTheEntryForTheNextTry) {
    auto plasma = desktops();
    plasma.use(1);
    shell.failing = true;
    plasma.giveBack(1);
    EXPECT_EQ(plasma.remembered(), (std::vector<long long>{1}));
    EXPECT_EQ(logged.size(), 1u);
    shell.failing = false;
    plasma.giveBack(1);
    EXPECT_EQ(shell.plugin(1), "org.kde.image");
}

TEST_F(PlasmaDesktopsTest, UsingAnUnknownDesktopFails) {
    EXPECT_THROW(desktops().use(42), std::runtime_error);
    EXPECT_TRUE(settings.values.empty());
}

}  // namespace
}  // namespace lumivo
