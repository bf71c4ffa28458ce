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
    const char* logLine;             // nullptr: nothing logged
};

class BackendChoiceTest : public testing::TestWithParam<Row> {};

TEST_P(BackendChoiceTest, ChoosesFromWhatTheSessionOffers) {
    const Row& row = GetParam();
    if (!row.backend) {
        try {
            BackendChoice::from(row.offer);
            FAIL() << "expected no main screen";
        } catch (const HelperError& error) {
            EXPECT_EQ(error, HelperError::noMainScreen());
        }
        return;
    }
    BackendChoice choice = BackendChoice::from(row.offer);
    EXPECT_EQ(choice.backend, *row.backend);
    if (row.logLine == nullptr) {
        EXPECT_EQ(choice.logLine, std::nullopt);
    } else {
        EXPECT_EQ(choice.logLine, std::optional<std::string>(row.logLine));
    }
}

constexpr const char* noBackgroundLayer =
    "The compositor offers no background layer, so an X11 desktop window is used and its "
    "placement is up to the compositor.";
constexpr const char* unreachable =
    "The Wayland compositor named by WAYLAND_DISPLAY cannot be reached, so an X11 desktop "
    "window is used.";

INSTANTIATE_TEST_SUITE_P(
    Sessions, BackendChoiceTest,
    testing::Values(
        Row{"LayerShellSession", {true, true, true, false}, Backend::layerShell, nullptr},
        Row{"LayerShellWinsOverXWayland", {true, true, true, true}, Backend::layerShell, nullptr},
        Row{"NoLayerShellFallsBackToXWayland",
            {true, true, false, true},
            Backend::x11,
            noBackgroundLayer},
        Row{"NoLayerShellNoXWayland", {true, true, false, false}, std::nullopt, nullptr},
        Row{"UnreachableCompositorFallsBackToX11",
            {true, false, false, true},
            Backend::x11,
            unreachable},
        Row{"UnreachableCompositorWithoutX11", {true, false, false, false}, std::nullopt, nullptr},
        Row{"PlainX11Session", {false, false, false, true}, Backend::x11, nullptr},
        Row{"NoDisplayAtAll", {false, false, false, false}, std::nullopt, nullptr}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
