// Each screen its own video, with real mpv and the software path on two
// monitors without a display (MemoryOutputs): one decode per distinct video,
// an apply on one screen that leaves the other's video playing, and covering
// and mode changes per decode.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "MemoryOutputs.hpp"
#include "NumericLocale.hpp"
#include "TestApplication.hpp"
#include "WallpaperPlayer.hpp"

namespace lumivo {
namespace {

const std::filesystem::path kClips = std::filesystem::path(LUMIVO_TEST_DATA) / "video";
const std::filesystem::path kWide = kClips / "wide-16x9.mp4", kClassic = kClips / "classic-4x3.mp4";
constexpr int kWaitMs = 10000;

// Two monitors side by side, LEFT the primary, in each-screen mode.
class EachScreenPlayerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        useCNumericLocale();
        app_ = makeTestApplication<QCoreApplication>("EachScreenPlayerTest");
    }
    static void TearDownTestSuite() { app_.reset(); }
    void SetUp() override {
        player_ = std::make_unique<WallpaperPlayer>([this] {
            auto outputs = std::make_unique<MemoryOutputs>(MemoryOutputs::Options{
                .monitors = {{"LEFT", {0, 0, 64, 36}, true}, {"RIGHT", {64, 0, 48, 36}, false}}});
            outputs_ = outputs.get();
            return outputs;
        });
        player_->setScreenMode(ScreenMode::EachScreen);
    }

    // Whether the monitor named `name` gets new pictures.
    bool keepsDrawing(const std::string& name) {
        const int before = outputs_->presentedOn[name];
        return QTest::qWaitFor([&] { return outputs_->presentedOn[name] > before + 3; }, kWaitMs);
    }

    static inline std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<WallpaperPlayer> player_;
    MemoryOutputs* outputs_ = nullptr;
};

TEST_F(EachScreenPlayerTest, AnApplyLandsOnTheFocusedScreenAndTheOtherPlaysOn) {
    QSignalSpy firstFrames(player_.get(), &WallpaperPlayer::firstFrameShown);
    player_->start(kWide);
    EXPECT_EQ(player_->decodes(), 1U) << "one video on both screens is decoded once";
    ASSERT_TRUE(firstFrames.wait(kWaitMs));
    ASSERT_TRUE(keepsDrawing("LEFT") && keepsDrawing("RIGHT"));

    outputs_->focused = "RIGHT";
    EXPECT_EQ(player_->startOn(kClassic, std::nullopt), "RIGHT");
    EXPECT_EQ(player_->decodes(), 2U);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstFrames.count() == 2; }, kWaitMs));
    EXPECT_TRUE(keepsDrawing("LEFT"));
    EXPECT_TRUE(keepsDrawing("RIGHT"));
    QTest::qWait(200);
    EXPECT_EQ(firstFrames.count(), 2) << "the left screen's video started again";
    EXPECT_EQ(player_->video(), kWide);
}

TEST_F(EachScreenPlayerTest, ADecodeNoScreenUsesIsReleased) {
    player_->start(kWide);
    EXPECT_EQ(player_->startOn(kClassic, std::string("RIGHT")), "RIGHT");
    EXPECT_EQ(player_->decodes(), 2U);
    // The right screen back on the video of the left: one decode again.
    EXPECT_EQ(player_->startOn(kWide, std::string("RIGHT")), "RIGHT");
    EXPECT_EQ(player_->decodes(), 1U);
    // A name that is gone means the main screen; nothing else changes.
    EXPECT_EQ(player_->startOn(kClassic, std::string("GONE")), "LEFT");
    EXPECT_EQ(player_->decodes(), 2U);
    EXPECT_TRUE(keepsDrawing("RIGHT"));
}

TEST_F(EachScreenPlayerTest, AnApplyWhileNothingPlaysCoversEveryScreen) {
    EXPECT_EQ(player_->startOn(kClassic, std::string("RIGHT")), std::nullopt);
    EXPECT_EQ(player_->decodes(), 1U);
    EXPECT_TRUE(keepsDrawing("LEFT") && keepsDrawing("RIGHT"));
}

TEST_F(EachScreenPlayerTest, AHiddenScreenIsNotDrawnOnWhileTheOtherIs) {
    player_->start(kWide);
    player_->startOn(kClassic, std::string("RIGHT"));
    ASSERT_TRUE(keepsDrawing("RIGHT"));
    outputs_->hiddenFlags = {false, true};  // in the order of shownMonitors()
    emit outputs_->hiddenChanged();
    EXPECT_EQ(player_->hiddenMonitors(), (std::vector<bool>{false, true}));
    QTest::qWait(100);  // a frame under way may still land
    const int right = outputs_->presentedOn["RIGHT"];
    EXPECT_TRUE(keepsDrawing("LEFT"));
    EXPECT_EQ(outputs_->presentedOn["RIGHT"], right) << "a hidden screen was drawn on";
    outputs_->hiddenFlags = {};
    emit outputs_->hiddenChanged();
    EXPECT_TRUE(keepsDrawing("RIGHT")) << "an uncovered screen's decode did not resume";
}

TEST_F(EachScreenPlayerTest, LeavingTheModeKeepsTheFocusedScreensVideoEverywhere) {
    QSignalSpy firstFrames(player_.get(), &WallpaperPlayer::firstFrameShown);
    player_->start(kWide);
    player_->startOn(kClassic, std::string("RIGHT"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstFrames.count() == 2; }, kWaitMs));
    outputs_->focused = "RIGHT";
    player_->setScreenMode(ScreenMode::AllScreens);
    EXPECT_EQ(player_->decodes(), 1U);
    EXPECT_EQ(player_->video(), kClassic);
    EXPECT_TRUE(keepsDrawing("LEFT") && keepsDrawing("RIGHT"));
    EXPECT_EQ(firstFrames.count(), 2) << "the kept video started again";
    // Back to each screen: both keep the one video until an apply.
    player_->setScreenMode(ScreenMode::EachScreen);
    EXPECT_EQ(player_->decodes(), 1U);
    EXPECT_EQ(player_->video(), kClassic);
}

TEST_F(EachScreenPlayerTest, ScreensAreListedLeftToRightWhateverOrderTheServerGives) {
    WallpaperPlayer player([] {
        return std::make_unique<MemoryOutputs>(MemoryOutputs::Options{
            .monitors = {{"RIGHT", {64, 0, 48, 36}, false}, {"LEFT", {0, 0, 64, 36}, true}}});
    });
    EXPECT_TRUE(player.screens().empty()) << "nothing plays";
    player.start(kWide);
    std::vector<std::string> names;
    for (const Monitor& screen : player.screens()) {
        names.push_back(screen.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"LEFT", "RIGHT"}));
}

}  // namespace
}  // namespace lumivo
