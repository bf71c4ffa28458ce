// How the render path is chosen: the decision table, and the decision a
// player keeps from one start to the next. No display is needed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "MemoryOutputs.hpp"
#include "RenderChoice.hpp"
#include "RenderDecision.hpp"
#include "RenderPath.hpp"

namespace lumivo {
namespace {

using Path = RenderDecision::Path;

constexpr const char* kIntel = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
constexpr const char* kLlvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
const GlTrial kHardware{true, kIntel};
const GlTrial kNoContext{false, "EGL cannot use the display"};

struct Row {
    const char* name;
    RenderFacts facts;
    Path path;
    std::string note;  // empty: nothing to log
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class RenderDecisionTest : public testing::TestWithParam<Row> {};

TEST_P(RenderDecisionTest, DecidesFromTheFactsAndLogsOnlyWhatIsNew) {
    const Row& row = GetParam();
    const RenderDecision decision = RenderDecision::from(row.facts);
    EXPECT_EQ(decision.path, row.path);
    EXPECT_EQ(decision.note, row.note);
}

const std::string kWithIntel = std::string("Rendering with OpenGL (") + kIntel + ")";
const std::string kNoHardware = "Rendering in software: the display offers no hardware OpenGL";
const std::string kNoContextNote =
    "Rendering in software: no OpenGL context (EGL cannot use the display)";

INSTANTIATE_TEST_SUITE_P(
    FirstStart, RenderDecisionTest,
    testing::Values(
        Row{"HardwareOffersOpenGlOnlyOnceTried", {"", true, {}, {}}, Path::tryOpenGl, ""},
        Row{"HardwareRendererDrawsWithOpenGl", {"", true, {}, kHardware}, Path::openGl, kWithIntel},
        Row{"LlvmpipeDrawsInSoftware",
            {"", true, {}, GlTrial{true, kLlvmpipe}},
            Path::software,
            std::string("Rendering in software: OpenGL is a software rasteriser (") + kLlvmpipe +
                ")"},
        Row{"SoftpipeDrawsInSoftware",
            {"", true, {}, GlTrial{true, "softpipe"}},
            Path::software,
            "Rendering in software: OpenGL is a software rasteriser (softpipe)"},
        Row{"ClassicSwrastDrawsInSoftware",
            {"", true, {}, GlTrial{true, "Software Rasterizer"}},
            Path::software,
            "Rendering in software: OpenGL is a software rasteriser (Software Rasterizer)"},
        Row{"NoHardwareOfferedIsNeverTried", {"", false, {}, {}}, Path::software, kNoHardware},
        Row{"NoContextDrawsInSoftware", {"", true, {}, kNoContext}, Path::software, kNoContextNote},
        Row{"ForcedSoftwareIsNeverTried",
            {"sw", true, {}, {}},
            Path::software,
            "Rendering in software (LUMIVO_RENDER=sw)"},
        Row{"ForcedOpenGlIsTriedWithoutHardware", {"gl", false, {}, {}}, Path::tryOpenGl, ""},
        Row{"ForcedOpenGlTakesASoftwareRasteriser",
            {"gl", false, {}, GlTrial{true, kLlvmpipe}},
            Path::openGl,
            std::string("Rendering with OpenGL (") + kLlvmpipe + ")"},
        Row{"ForcedOpenGlWithoutContextDrawsInSoftware",
            {"gl", true, {}, kNoContext},
            Path::software,
            kNoContextNote},
        Row{"UnknownForcingIsIgnoredAndSaidSo",
            {"opengl", true, {}, kHardware},
            Path::openGl,
            kWithIntel + " (LUMIVO_RENDER=opengl is neither gl nor sw, so it is ignored)"}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LaterStart, RenderDecisionTest,
    testing::Values(
        Row{"SoftwareStaysWithoutTryingOpenGl",
            {"gl", true, RenderKind::software, {}},
            Path::software,
            ""},
        Row{"OpenGlIsTriedAgainForTheNewWindows",
            {"", true, RenderKind::openGl, {}},
            Path::tryOpenGl,
            ""},
        Row{"OpenGlStaysUnsaid", {"", true, RenderKind::openGl, kHardware}, Path::openGl, ""},
        Row{"OpenGlLostIsSaidOnce",
            {"", true, RenderKind::openGl, kNoContext},
            Path::software,
            kNoContextNote},
        Row{"NoHardwareAnyMoreIsSaid",
            {"", false, RenderKind::openGl, {}},
            Path::software,
            kNoHardware}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

class RenderChoiceTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* forced = std::getenv("LUMIVO_RENDER");
        saved_ = forced != nullptr ? std::optional<std::string>(forced) : std::nullopt;
        ::unsetenv("LUMIVO_RENDER");
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("LUMIVO_RENDER", saved_->c_str(), 1);
        }
    }

  private:
    std::optional<std::string> saved_;
};

TEST_F(RenderChoiceTest, EachPlayerDecidesOnceAndLogsOnce) {
    MemoryOutputs outputs;
    RenderChoice first;
    std::string note;
    EXPECT_EQ(first.choose(outputs, note)->name(), "software");
    EXPECT_EQ(note, kNoHardware);
    EXPECT_EQ(first.choose(outputs, note)->name(), "software");
    EXPECT_EQ(note, "") << "a decision kept is not logged again";

    // Another player (another helper's worth of state) decides for itself.
    RenderChoice second;
    EXPECT_EQ(second.choose(outputs, note)->name(), "software");
    EXPECT_EQ(note, kNoHardware);
}

TEST_F(RenderChoiceTest, ForcedSoftwareNeverTouchesOpenGl) {
    ::setenv("LUMIVO_RENDER", "sw", 1);
    MemoryOutputs outputs({.hardwareGl = true});
    RenderChoice choice;
    std::string note;
    EXPECT_EQ(choice.choose(outputs, note)->name(), "software");
    EXPECT_EQ(note, "Rendering in software (LUMIVO_RENDER=sw)");
    EXPECT_EQ(outputs.eglAsked, 0);
}

}  // namespace
}  // namespace lumivo
