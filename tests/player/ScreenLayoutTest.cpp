// How the video is laid out over monitors in each screen mode.
#include <gtest/gtest.h>

#include "ScreenLayout.hpp"
#include "VideoLayout.hpp"

namespace lumivo {
namespace {

const Monitor kWide{"DP-1", {0, 0, 1280, 720}, false};
const Monitor kClassic{"DP-2", {1280, 0, 960, 720}, true};
const Monitor kWideToo{"DP-3", {2240, 0, 1280, 720}, false};

TEST(ScreenLayoutTest, AllScreensShowsTheWholeVideoOnEachAndScalesOncePerSize) {
    const ScreenLayout layout = layoutScreens(ScreenMode::AllScreens, {kWide, kClassic, kWideToo});
    EXPECT_EQ(layout.canvases, (std::vector<Canvas>{{1280, 720}, {960, 720}}));
    EXPECT_EQ(layout.placements,
              (std::vector<Placement>{
                  {0, 0, {0, 0, 1280, 720}}, {1, 1, {0, 0, 960, 720}}, {2, 0, {0, 0, 1280, 720}}}));
}

TEST(ScreenLayoutTest, SpanCoversTheBoundingBoxAndGivesEachMonitorItsSlice) {
    EXPECT_EQ(
        layoutScreens(ScreenMode::SpanAcrossScreens, {kWide, kClassic}),
        (ScreenLayout{{{2240, 720}}, {{0, 0, {0, 0, 1280, 720}}, {1, 0, {1280, 0, 960, 720}}}}));
    // Left of and above the origin, offset vertically: the box starts at the
    // top-left-most corner, and the gap below the lower monitor stays unseen.
    const Monitor left{"L", {-1920, -200, 1920, 1080}, false};
    const Monitor right{"R", {0, 0, 1280, 720}, true};
    EXPECT_EQ(layoutScreens(ScreenMode::SpanAcrossScreens, {right, left}),
              (ScreenLayout{{{3200, 1080}},
                            {{0, 0, {1920, 200, 1280, 720}}, {1, 0, {0, 0, 1920, 1080}}}}));
}

TEST(ScreenLayoutTest, MainScreenOnlyShowsOnThePrimaryElseTheFirst) {
    EXPECT_EQ(layoutScreens(ScreenMode::MainScreenOnly, {kWide, kClassic, kWideToo}),
              (ScreenLayout{{{960, 720}}, {{1, 0, {0, 0, 960, 720}}}}));
    EXPECT_EQ(layoutScreens(ScreenMode::MainScreenOnly, {kWideToo, kWide}),
              (ScreenLayout{{{1280, 720}}, {{0, 0, {0, 0, 1280, 720}}}}));
}

TEST(ScreenLayoutTest, MonitorsWithoutAreaAreLeftOut) {
    const Monitor collapsed{"off", {5000, 0, 0, 720}, true};
    for (auto mode : {ScreenMode::AllScreens, ScreenMode::SpanAcrossScreens,
                      ScreenMode::MainScreenOnly, ScreenMode::EachScreen}) {
        SCOPED_TRACE(std::string(screenModeKey(mode)));
        const ScreenLayout layout = layoutScreens(mode, {collapsed, kWide});
        ASSERT_EQ(layout.placements.size(), 1U);
        EXPECT_EQ(layout.placements[0], (Placement{1, 0, {0, 0, 1280, 720}}));
        EXPECT_EQ(layout.canvases, (std::vector<Canvas>{{1280, 720}}));
        EXPECT_EQ(layoutScreens(mode, {collapsed}), ScreenLayout{});
    }
}

TEST(ScreenLayoutTest, AspectFillCropsTheOverflowEvenlyAndNeverStretches) {
    // 16:9 onto 4:3 cuts left and right; onto 21:9 top and bottom.
    EXPECT_EQ(aspectFillCrop(1920, 1080, 960, 720), (Rect{240, 0, 1440, 1080}));
    EXPECT_EQ(aspectFillCrop(1920, 1080, 2560, 1080), (Rect{0, 135, 1920, 810}));
    EXPECT_EQ(aspectFillCrop(320, 180, 1280, 720), (Rect{0, 0, 320, 180}));
    EXPECT_EQ(aspectFillCrop(320, 180, 0, 720), Rect{});
}

// Which monitor a wallpaper for one screen lands on.
TEST(ScreenLayoutTest, ChoosingTheScreen) {
    const std::vector<Monitor> monitors{kWide, kClassic, kWideToo};
    // The monitor the user looks at, by name.
    EXPECT_EQ(chooseScreen(monitors, "DP-3"), 2U);
    EXPECT_EQ(chooseScreen(monitors, "DP-1"), 0U);
    // None known, or one that went away since: the main screen.
    EXPECT_EQ(chooseScreen(monitors, std::nullopt), 1U);
    EXPECT_EQ(chooseScreen(monitors, "HDMI-9"), 1U);
    // Without a primary, the first; a focused monitor without area never.
    EXPECT_EQ(chooseScreen({kWideToo, kWide}, "gone"), 0U);
    const Monitor off{"off", {0, 0, 0, 0}, true};
    EXPECT_EQ(chooseScreen({off, kWide}, "off"), 1U);
    EXPECT_EQ(chooseScreen({}, "DP-1"), std::nullopt);
    EXPECT_EQ(chooseScreen({off}, std::nullopt), std::nullopt);
}

TEST(ScreenLayoutTest, EachScreenModeIsKeptAsEach) {
    EXPECT_EQ(screenModeKey(ScreenMode::EachScreen), "each");
    EXPECT_EQ(screenModeFromKey("each"), ScreenMode::EachScreen);
    EXPECT_EQ(screenModeFromKey("Each"), std::nullopt);
}

// Each screen its own video: one decode per distinct video.
TEST(VideoLayoutTest, TheSameVideoOnTwoMonitorsIsOneDecodeShownOnBoth) {
    const auto videos = layoutVideos({kWide, kClassic, kWideToo}, {{"DP-3", "b.mp4"}}, "a.mp4");
    ASSERT_EQ(videos.size(), 2U);
    EXPECT_EQ(videos[0].video, "a.mp4");
    EXPECT_EQ(videos[0].layout.canvases, (std::vector<Canvas>{{1280, 720}, {960, 720}}));
    // Placements index into all the monitors, not the video's share.
    EXPECT_EQ(videos[0].layout.placements,
              (std::vector<Placement>{{0, 0, {0, 0, 1280, 720}}, {1, 1, {0, 0, 960, 720}}}));
    EXPECT_EQ(videos[1].video, "b.mp4");
    EXPECT_EQ(videos[1].layout, (ScreenLayout{{{1280, 720}}, {{2, 0, {0, 0, 1280, 720}}}}));
    // Two monitors given the same file by name still share one decode.
    EXPECT_EQ(
        layoutVideos({kWide, kClassic}, {{"DP-1", "b.mp4"}, {"DP-2", "b.mp4"}}, "a.mp4").size(),
        1U);
}

TEST(VideoLayoutTest, AMonitorWithoutAreaShowsNothing) {
    const Monitor off{"off", {0, 0, 0, 720}, false};
    const auto videos =
        layoutVideos({kWide, off, kClassic}, {{"DP-2", "b.mp4"}, {"off", "c.mp4"}}, "a.mp4");
    ASSERT_EQ(videos.size(), 2U);
    EXPECT_EQ(videos[1].video, "b.mp4");
    EXPECT_EQ(videos[1].layout.placements, (std::vector<Placement>{{2, 0, {0, 0, 960, 720}}}));
    // A name of a monitor that is gone changes nothing.
    EXPECT_EQ(layoutVideos({kWide}, {{"gone", "b.mp4"}}, "a.mp4").size(), 1U);
    EXPECT_TRUE(layoutVideos({}, {}, "a.mp4").empty());
}

}  // namespace
}  // namespace lumivo
