// Where the wallpaper's windows belong among other programs' desktop windows,
// how the window manager is asked to put them there, and the cap that keeps
// the two from restacking each other forever.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "DesktopCover.hpp"
#include "DesktopStackKeeper.hpp"
#include "RestackBudget.hpp"

namespace lumivo {
namespace {

using namespace std::chrono_literals;
using Clock = DesktopStackKeeper::Clock;
using Method = DesktopStackKeeper::Method;
using Request = DesktopStackKeeper::Request;

constexpr Rect kLeft{0, 0, 1280, 720};
constexpr Rect kRight{1280, 0, 1280, 720};
constexpr Rect kBoth{0, 0, 2560, 720};
constexpr std::uint32_t kOurs = 0x100, kOursRight = 0x101;
constexpr std::uint32_t kCaja = 0x200, kNemo = 0x300, kXterm = 0x400, kPlasma = 0x500;

StackedWindow ours(std::uint32_t id = kOurs, Rect frame = kLeft) {
    return {id, frame, true, false, "lumivo"};
}
StackedWindow opaqueDesktop(std::uint32_t id = kCaja, Rect frame = kBoth,
                            std::string program = "caja") {
    return {id, frame, true, false, std::move(program)};
}
StackedWindow seeThroughDesktop(std::uint32_t id = kNemo, Rect frame = kBoth) {
    return {id, frame, true, true, "nemo-desktop"};
}
// A scene from bottom to top, with the focus on `active`.
StackingScene stacked(std::vector<StackedWindow> stack,
                      std::optional<std::uint32_t> active = std::nullopt) {
    return {std::move(stack), active};
}

StackedWindow ordinary(std::uint32_t id = kXterm) {
    return {id, {100, 100, 300, 200}, false, false, "xterm"};
}

// ---- which desktop window counts, and on which side ours belongs -----------

TEST(DesktopCoverTest, AnOpaqueDesktopWindowOverOursMustGoUnderIt) {
    const StackingScene scene = stacked({ours(), opaqueDesktop()});
    const auto covers = findDesktopCovers(scene, {kOurs});
    ASSERT_EQ(covers, (std::vector<DesktopCover>{{kOurs, kCaja, StackSide::Above, "caja"}}));
    EXPECT_FALSE(coverSatisfied(scene, covers[0]));
    EXPECT_TRUE(coverSatisfied(stacked({opaqueDesktop(), ours()}), covers[0]));
}

TEST(DesktopCoverTest, ASeeThroughDesktopWindowStaysOverOursForItsIcons) {
    const auto covers = findDesktopCovers(stacked({seeThroughDesktop(), ours()}), {kOurs});
    ASSERT_EQ(covers.size(), 1u);
    EXPECT_EQ(covers[0].side, StackSide::Below);
    EXPECT_FALSE(coverSatisfied(stacked({seeThroughDesktop(), ours()}), covers[0]));
    EXPECT_TRUE(coverSatisfied(stacked({ours(), seeThroughDesktop()}), covers[0]));
}

TEST(DesktopCoverTest, NothingToMindWithoutADesktopWindowOfAnotherProgram) {
    // Ordinary windows, and our own windows on two mirrored monitors: a
    // window manager without a desktop program.
    const StackingScene scene = stacked({ours(), ours(kOursRight, kLeft), ordinary()});
    EXPECT_TRUE(findDesktopCovers(scene, {kOurs, kOursRight}).empty());
}

TEST(DesktopCoverTest, PlasmaShellsDesktopIsLeftAlone) {
    const StackingScene scene = stacked({ours(), opaqueDesktop(kPlasma, kBoth, "plasmashell")});
    EXPECT_TRUE(findDesktopCovers(scene, {kOurs}).empty());
}

TEST(DesktopCoverTest, EachMonitorMindsTheDesktopWindowThatOverlapsItMost) {
    // pcmanfm-qt draws one desktop window per monitor; the right one reaches
    // a little into the left monitor here.
    const StackingScene scene =
        stacked({ours(), ours(kOursRight, kRight), opaqueDesktop(0x202, {1270, 0, 1290, 720}),
                 opaqueDesktop(0x201, kLeft)});
    const auto covers = findDesktopCovers(scene, {kOurs, kOursRight});
    ASSERT_EQ(covers.size(), 2u);
    EXPECT_EQ(covers[0].cover, 0x201u);
    EXPECT_EQ(covers[1].cover, 0x202u);
}

TEST(DesktopCoverTest, AWindowTheManagerDoesNotListYetIsNotStacked) {
    EXPECT_TRUE(findDesktopCovers(stacked({opaqueDesktop()}), {kOurs}).empty());
}

// ---- the cap -----------------------------------------------------------------

TEST(RestackBudgetTest, GrantsTheLimitWithinASpanThenRestsThenGrantsAgain) {
    RestackBudget budget({{3, 1s}}, 5s);
    const Clock::time_point t0{};
    EXPECT_EQ(budget.take(t0), RestackBudget::Grant::Granted);
    EXPECT_EQ(budget.take(t0 + 100ms), RestackBudget::Grant::Granted);
    EXPECT_EQ(budget.take(t0 + 200ms), RestackBudget::Grant::Granted);
    EXPECT_EQ(budget.take(t0 + 300ms), RestackBudget::Grant::CapHit);
    EXPECT_EQ(budget.restEnds(), t0 + 5300ms);
    EXPECT_EQ(budget.take(t0 + 2s), RestackBudget::Grant::Resting);
    EXPECT_EQ(budget.take(t0 + 5300ms), RestackBudget::Grant::Granted);
}

TEST(RestackBudgetTest, RequestsOlderThanTheSpanNoLongerCount) {
    RestackBudget budget({{2, 1s}}, 5s);
    const Clock::time_point t0{};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(budget.take(t0 + i * 600ms), RestackBudget::Grant::Granted) << i;
    }
}

TEST(RestackBudgetTest, TheLongerLimitCatchesAStreamTooSlowForTheShorter) {
    RestackBudget budget({{4, 1s}, {6, 60s}}, 5s);
    const Clock::time_point t0{};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(budget.take(t0 + i * 300ms), RestackBudget::Grant::Granted) << i;
    }
    EXPECT_EQ(budget.take(t0 + 1800ms), RestackBudget::Grant::CapHit);
    // After the rest the minute is still full: another rest, no request.
    EXPECT_EQ(budget.take(t0 + 6800ms), RestackBudget::Grant::CapHit);
    EXPECT_EQ(budget.take(t0 + 61s), RestackBudget::Grant::Granted);
}

// ---- the requests ------------------------------------------------------------

const Clock::time_point kT0 = Clock::time_point{} + 1h;

TEST(DesktopStackKeeperTest, RestacksOverAnOpaqueDesktopAsAPagerWouldAndSaysSoOnce) {
    DesktopStackKeeper keeper(true);
    const StackingScene under = stacked({ours(), opaqueDesktop()});
    auto step = keeper.update(under, {kOurs}, kT0);
    EXPECT_EQ(step.requests,
              (std::vector<Request>{{Method::Restack, kOurs, kCaja, StackSide::Above}}));
    ASSERT_EQ(step.notes.size(), 1u);
    EXPECT_NE(step.notes[0].find("caja"), std::string::npos);
    EXPECT_NE(step.notes[0].find("icons"), std::string::npos);
    EXPECT_FALSE(step.sortCompositor);

    step = keeper.update(stacked({opaqueDesktop(), ours()}), {kOurs}, kT0 + 10ms);
    EXPECT_TRUE(step.requests.empty());
    EXPECT_TRUE(step.notes.empty());
    EXPECT_FALSE(step.wakeAt);
    // Raised again by its program (a click on the desktop): at once, no note.
    step = keeper.update(under, {kOurs}, kT0 + 2s);
    EXPECT_EQ(step.requests.size(), 1u);
    EXPECT_TRUE(step.notes.empty());
}

TEST(DesktopStackKeeperTest, AManagerWithoutRestackRequestsGetsAConfigureRequest) {
    DesktopStackKeeper keeper(false);
    const auto step = keeper.update(stacked({ours(), opaqueDesktop()}), {kOurs}, kT0);
    EXPECT_EQ(step.requests,
              (std::vector<Request>{{Method::Configure, kOurs, kCaja, StackSide::Above}}));
}

TEST(DesktopStackKeeperTest, AFocusedDesktopWindowIsLeftByActivatingOurs) {
    // marco raises caja's desktop when it takes the focus and refuses to
    // stack anything over it while it keeps the focus.
    DesktopStackKeeper keeper(false);
    const auto step = keeper.update(stacked({ours(), opaqueDesktop()}, kCaja), {kOurs}, kT0);
    EXPECT_EQ(step.requests,
              (std::vector<Request>{{Method::Activate, kOurs, kCaja, StackSide::Above}}));
}

TEST(DesktopStackKeeperTest, AnIgnoredRequestIsFollowedByActivationAfterTheManagerHadItsTime) {
    DesktopStackKeeper keeper(true);
    const StackingScene under = stacked({ours(), opaqueDesktop()});
    auto step = keeper.update(under, {kOurs}, kT0);
    ASSERT_EQ(step.wakeAt, kT0 + DesktopStackKeeper::kSettle);
    // Other events before then: no second request on top of the first.
    step = keeper.update(under, {kOurs}, kT0 + 100ms);
    EXPECT_TRUE(step.requests.empty());
    EXPECT_EQ(step.wakeAt, kT0 + DesktopStackKeeper::kSettle);
    step = keeper.update(under, {kOurs}, kT0 + DesktopStackKeeper::kSettle);
    EXPECT_EQ(step.requests,
              (std::vector<Request>{{Method::Activate, kOurs, kCaja, StackSide::Above}}));
}

TEST(DesktopStackKeeperTest, NeverActivatesWhileAnOrdinaryWindowHasTheFocus) {
    DesktopStackKeeper keeper(true);
    const StackingScene under = stacked({ours(), opaqueDesktop(), ordinary()}, kXterm);
    keeper.update(under, {kOurs}, kT0);
    const auto step = keeper.update(under, {kOurs}, kT0 + DesktopStackKeeper::kSettle);
    ASSERT_EQ(step.requests.size(), 1u);
    EXPECT_EQ(step.requests[0].method, Method::Restack);
}

TEST(DesktopStackKeeperTest, GoesUnderASeeThroughDesktopAndHasTheCompositorSortOnce) {
    DesktopStackKeeper keeper(true);
    // Focused, but activation would only raise ours further over it.
    const StackingScene over = stacked({seeThroughDesktop(), ours()}, kNemo);
    auto step = keeper.update(over, {kOurs}, kT0);
    EXPECT_EQ(step.requests,
              (std::vector<Request>{{Method::Restack, kOurs, kNemo, StackSide::Below}}));
    EXPECT_TRUE(step.notes.empty());  // its icons stay visible
    step = keeper.update(over, {kOurs}, kT0 + DesktopStackKeeper::kSettle);
    EXPECT_EQ(step.requests[0].method, Method::Restack);

    const StackingScene under = stacked({ours(), seeThroughDesktop()}, kNemo);
    EXPECT_TRUE(keeper.update(under, {kOurs}, kT0 + 1s).sortCompositor);
    EXPECT_FALSE(keeper.update(under, {kOurs}, kT0 + 2s).sortCompositor);
    // Put over it again and back under: the compositor needs sorting again.
    keeper.update(over, {kOurs}, kT0 + 3s);
    EXPECT_TRUE(keeper.update(under, {kOurs}, kT0 + 3100ms).sortCompositor);
}

// The requests a desktop window gets that rises again `undoneAfter` each
// restack, over `length`, and the notes about the cap.
struct Fight {
    int requests = 0;
    int capNotes = 0;
};
Fight fightAgainst(Clock::duration undoneAfter, Clock::duration length) {
    DesktopStackKeeper keeper(true);
    const StackingScene under = stacked({ours(), opaqueDesktop()});
    const StackingScene over = stacked({opaqueDesktop(), ours()});
    Fight fight;
    auto t = kT0;
    while (t < kT0 + length) {
        const auto step = keeper.update(under, {kOurs}, t);
        fight.requests += static_cast<int>(step.requests.size());
        for (const std::string& note : step.notes) {
            fight.capNotes += note.find("keeps undoing") != std::string::npos ? 1 : 0;
        }
        EXPECT_TRUE(step.wakeAt);  // it comes back by itself
        if (!step.requests.empty()) {
            // Our restack holds for a moment, then the desktop rises again.
            keeper.update(over, {kOurs}, t + 5ms);
            t += undoneAfter;
        } else {
            t = *step.wakeAt;
        }
    }
    return fight;
}

TEST(DesktopStackKeeperTest, ADesktopThatRisesAgainAtOnceGetsFourRestacksThenARest) {
    const Fight fight = fightAgainst(20ms, 12s);
    // Four at once, four after the rest of 5 s, and four after the next.
    EXPECT_EQ(fight.requests, 3 * static_cast<int>(DesktopStackKeeper::kRequestsPerSecond));
    EXPECT_EQ(fight.capNotes, 1);
}

TEST(DesktopStackKeeperTest, ADesktopThatRisesAgainSlowlyGetsNoMoreThanTheMinutesShare) {
    // Too slow for the cap of a second: the minute's catches it.
    const Fight fight = fightAgainst(300ms, 59s);
    EXPECT_EQ(fight.requests, static_cast<int>(DesktopStackKeeper::kRequestsPerMinute));
    EXPECT_EQ(fight.capNotes, 1);
}

TEST(DesktopStackKeeperTest, PlasmaShellIsNeverFoughtWith) {
    DesktopStackKeeper keeper(true);
    const auto step = keeper.update(
        stacked({ours(), opaqueDesktop(kPlasma, kBoth, "plasmashell")}, kPlasma), {kOurs}, kT0);
    EXPECT_TRUE(step.requests.empty());
    EXPECT_TRUE(step.notes.empty());
}

}  // namespace
}  // namespace lumivo
