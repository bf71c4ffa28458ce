#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "PauseDecision.hpp"

namespace lumivo {
namespace {

struct ReasonCase {
    const char* name;
    PauseInputs inputs;
    std::optional<std::string> reason;
};

class PauseReason : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(PauseReason, FollowsTheRule) {
    EXPECT_EQ(PauseDecision::reasonFor(GetParam().inputs), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    PauseDecision, PauseReason,
    ::testing::Values(
        ReasonCase{"EveryOutputHiddenPauses", {.outputsHidden = {true, true}}, "desktop covered"},
        ReasonCase{"OneOfTwoOutputsHiddenPlays", {.outputsHidden = {true, false}}, std::nullopt},
        ReasonCase{"NoOutputsPlays", {}, std::nullopt},
        ReasonCase{"LockedPauses", {.outputsHidden = {false}, .locked = true}, "screen locked"},
        ReasonCase{"ScreensaverPauses", {.screensaverActive = true}, "screensaver active"},
        ReasonCase{
            "BlankedScreenPauses", {.outputsHidden = {false}, .blanked = true}, "screen blanked"},
        ReasonCase{"SuspendingPauses",
                   {.outputsHidden = {false}, .suspending = true},
                   "system suspending"},
        ReasonCase{"SuspendNamedBeforeTheLockThatComesWithIt",
                   {.suspending = true, .locked = true, .blanked = true},
                   "system suspending"},
        ReasonCase{"BatteryPausesWithTheSetting", {.onBattery = true}, "on battery"},
        ReasonCase{"BatteryPlaysWithoutTheSetting",
                   {.onBattery = true, .pauseOnBattery = false},
                   std::nullopt},
        ReasonCase{"ManualPauseNamedFirst",
                   {.outputsHidden = {true}, .locked = true, .manual = true},
                   "by the user"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PauseDecisionTest, LogsOnlyWhenPausedOrPlayingChanges) {
    PauseDecision decision;
    EXPECT_EQ(decision.update({.outputsHidden = {false}}), std::nullopt);
    EXPECT_EQ(decision.update({.outputsHidden = {true}}), "[LumivoHelper] Paused: desktop covered");
    EXPECT_EQ(decision.update({.outputsHidden = {true}, .locked = true}), std::nullopt);
    EXPECT_EQ(decision.reason(), "screen locked");
    EXPECT_EQ(decision.update({.outputsHidden = {false}}), "[LumivoHelper] Resumed");
    EXPECT_FALSE(decision.paused());
    EXPECT_EQ(decision.update({.outputsHidden = {false}}), std::nullopt);
}

}  // namespace
}  // namespace lumivo
