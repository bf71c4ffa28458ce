// How drawing fails, with real mpv and the software path on a backend without
// a display (MemoryOutputs): a frame mpv cannot render is reported once and
// ends the drawing; where the display connection broke, the lost display is
// the one thing said.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "MemoryOutputs.hpp"
#include "NumericLocale.hpp"
#include "RenderCore.hpp"
#include "ScreenLayout.hpp"
#include "SwPath.hpp"
#include "TestApplication.hpp"
#include "WallpaperPlayer.hpp"

namespace lumivo {
namespace {

const std::filesystem::path kClip = std::filesystem::path(LUMIVO_TEST_DATA) / "video/wide-16x9.mp4";
constexpr int kWaitMs = 10000;

class RenderFailureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        app_ = makeTestApplication<QCoreApplication>("RenderFailureTest");
        useCNumericLocale();
    }
    static void TearDownTestSuite() { app_.reset(); }

    // Plays the clip on the backend's one monitor.
    static std::unique_ptr<RenderCore> play(MemoryOutputs& outputs) {
        auto core = std::make_unique<RenderCore>(kClip, std::make_unique<SwPath>(outputs));
        const std::vector<Monitor> monitors = outputs.monitors();
        core->setLayout(layoutScreens(ScreenMode::AllScreens, monitors), outputs.showOn({0}));
        return core;
    }

    static inline std::unique_ptr<QCoreApplication> app_;
};

TEST_F(RenderFailureTest, FramesReachTheSurface) {
    MemoryOutputs outputs;
    auto core = play(outputs);
    QSignalSpy failed(core.get(), &RenderCore::playbackFailed);
    QSignalSpy shown(core.get(), &RenderCore::firstFrameShown);
    ASSERT_TRUE(shown.wait(kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return outputs.presented > 5; }, kWaitMs));
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(RenderFailureTest, AFrameThatCannotBeRenderedIsReportedOnceAndDrawingStops) {
    MemoryOutputs outputs({.rowsTooShort = true});
    auto core = play(outputs);
    QSignalSpy failed(core.get(), &RenderCore::playbackFailed);
    ASSERT_TRUE(failed.wait(kWaitMs));
    EXPECT_NE(failed.value(0).value(0).toString().toStdString().find("mpv cannot render"),
              std::string::npos)
        << failed.value(0).value(0).toString().toStdString();
    const int tried = outputs.acquired;
    QTest::qWait(500);  // some 15 frames of the clip
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(outputs.acquired, tried) << "drawing went on after the failure";
    EXPECT_EQ(outputs.presented, 0);
}

TEST_F(RenderFailureTest, APlayerReportsAFailedDrawOnceWhileItsDisplayIsThere) {
    WallpaperPlayer player([] {
        return std::make_unique<MemoryOutputs>(MemoryOutputs::Options{.rowsTooShort = true});
    });
    QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
    QSignalSpy noted(&player, &WallpaperPlayer::noted);
    player.start(kClip);
    ASSERT_TRUE(failed.wait(kWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(noted.count(), 1) << "only the render path's line";
}

TEST_F(RenderFailureTest, ADrawThatFailsOnABrokenConnectionLeavesTheLostDisplayAsTheOneLine) {
    WallpaperPlayer player([] {
        return std::make_unique<MemoryOutputs>(
            MemoryOutputs::Options{.rowsTooShort = true, .broken = true});
    });
    QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
    QSignalSpy noted(&player, &WallpaperPlayer::noted);
    player.start(kClip);
    ASSERT_TRUE(QTest::qWaitFor([&] { return noted.count() >= 2; }, kWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(noted.count(), 2);
    EXPECT_EQ(noted.value(1).value(0).toString(), "Wallpaper display lost: the memory went away");
    EXPECT_EQ(failed.count(), 0) << failed.value(0).value(0).toString().toStdString();
}

}  // namespace
}  // namespace lumivo
