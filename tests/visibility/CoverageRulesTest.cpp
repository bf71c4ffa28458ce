// The covering rules in the cases openbox on Xvfb cannot show (panels, shading,
// windows on every desktop); X11CoverageTest drives the common ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CoverageRules.hpp"

namespace lumivo {
namespace {

// Two monitors side by side, as on a 2560x720 screen.
const std::vector<Rect> kMonitors = {{0, 0, 1280, 720}, {1280, 0, 1280, 720}};

ClientWindow shown(Rect frame) {
    return {.frame = frame, .desktop = 0, .mapped = true};
}

struct CoverCase {
    const char* name;
    ClientWindow window;
    std::vector<bool> hidden;
};

class Covering : public ::testing::TestWithParam<CoverCase> {};

TEST_P(Covering, HidesTheRightMonitors) {
    EXPECT_EQ(hiddenMonitors(kMonitors, {GetParam().window}, 0), GetParam().hidden);
}

ClientWindow with(ClientWindow w, void (*change)(ClientWindow&)) {
    change(w);
    return w;
}

const Rect kLeft = {0, 0, 1280, 720};
const Rect kLeftBelowPanel = {0, 30, 1280, 690};

INSTANTIATE_TEST_SUITE_P(
    CoverageRules, Covering,
    ::testing::Values(
        CoverCase{"FrameOverBothMonitorsHidesBoth", shown({-5, -5, 2570, 730}), {true, true}},
        CoverCase{"MaximisedBelowAPanelHidesItsMonitor",
                  with(shown({1280, 30, 1280, 690}),
                       [](ClientWindow& w) { w.maximisedVert = w.maximisedHorz = true; }),
                  {false, true}},
        CoverCase{"MaximisedOneWayHidesNothing",
                  with(shown(kLeftBelowPanel), [](ClientWindow& w) { w.maximisedVert = true; }),
                  {false, false}},
        CoverCase{"FullscreenHidesTheMonitorItMostlyFills",
                  with(shown({1200, 0, 1280, 700}), [](ClientWindow& w) { w.fullscreen = true; }),
                  {false, true}},
        CoverCase{"EveryDesktopWindowHides",
                  with(shown(kLeft), [](ClientWindow& w) { w.desktop.reset(); }),
                  {true, false}},
        CoverCase{
            "ShadedHidesNothing",
            with(shown(kLeft),
                 [](ClientWindow& w) { w.shaded = w.maximisedVert = w.maximisedHorz = true; }),
            {false, false}},
        CoverCase{"UnmappedHidesNothing",
                  with(shown(kLeft), [](ClientWindow& w) { w.mapped = false; }),
                  {false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
