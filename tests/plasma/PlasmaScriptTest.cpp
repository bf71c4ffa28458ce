#include <gtest/gtest.h>

#include <QJSEngine>

#include "PlasmaScript.hpp"

namespace lumivo {
namespace {

// What a real JavaScript engine makes of the literal.
std::string evaluated(const std::string& literal) {
    QJSEngine engine;
    const QJSValue value = engine.evaluate(QString::fromStdString(literal));
    EXPECT_FALSE(value.isError()) << literal;
    return value.toString().toStdString();
}

TEST(PlasmaScriptTest, ALiteralEvaluatesToTheTextItQuotes) {
    for (const std::string& text : std::vector<std::string>{
             "", "app.lumivo.wallpaper", "say \"hi\"", "back\\slash", "line\nbreak\r\ttab",
             std::string("nul\0byte", 8), "\"); quit(); (\"", "</script><!--",
             "caf\xC3\xA9 \xF0\x9F\x8C\x8C", "line\xE2\x80\xA8separator\xE2\x80\xA9paragraph",
             "\x7F\x01\x1F"}) {
        EXPECT_EQ(evaluated(PlasmaScript::literal(text)), text) << text;
    }
}

TEST(PlasmaScriptTest, BrokenUtf8BecomesReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(evaluated(PlasmaScript::literal("a\xFF"
                                              "b")),
              "a" + replacement + "b");
    EXPECT_EQ(evaluated(PlasmaScript::literal("cut\xE2\x80")), "cut" + replacement + replacement);
    EXPECT_EQ(evaluated(PlasmaScript::literal("\xC0\xAF")), replacement + replacement);  // overlong
    EXPECT_EQ(evaluated(PlasmaScript::literal("\xED\xA0\x80")),
              replacement + replacement + replacement);  // surrogate
    EXPECT_EQ(evaluated(PlasmaScript::literal("\xF8\x90\x80\x80")).substr(0, 3), replacement);
}

TEST(PlasmaScriptTest, AListingIsReadLineByLine) {
    const auto listing = PlasmaScript::parseListing(
        "package 1\n1 0 0 0 1280 720 org.kde.image\n22 1 1280 -10 1024 768 app.lumivo.wallpaper\n");
    ASSERT_TRUE(listing);
    EXPECT_TRUE(listing->packageKnown);
    ASSERT_EQ(listing->desktops.size(), 2u);
    EXPECT_EQ(listing->desktops[1],
              (PlasmaDesktop{22, 1, {1280, -10, 1024, 768}, "app.lumivo.wallpaper"}));
    EXPECT_TRUE(PlasmaScript::parseListing("package 0\n"));  // no desktop at all
}

TEST(PlasmaScriptTest, AListingInAnotherFormIsRefused) {
    for (const char* output :
         {"", "\n", "1 0 0 0 1280 720 org.kde.image\n", "package 2\n", "package 1\n1 0 0 0 1280\n",
          "package 1\n1 0 0 x 1280 720 org.kde.image\n",
          "package 1\n1 0 0 0 1280 720 org.kde.image extra\n"}) {
        EXPECT_FALSE(PlasmaScript::parseListing(output)) << output;
    }
}

}  // namespace
}  // namespace lumivo
