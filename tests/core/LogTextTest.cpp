#include <gtest/gtest.h>

#include "LogText.hpp"

namespace lumivo {
namespace {

using namespace std::string_literals;

TEST(LogText, EscapesControlCharactersSoAForgedLineStaysOnTheLine) {
    EXPECT_EQ(escapedLogText("x\n[LumivoHelper] Applied Forged\n\x1b[2J"),
              "x\\n[LumivoHelper] Applied Forged\\n\\x1b[2J");
    EXPECT_EQ(escapedLogText("a\rb\tc\x7f"
                             "d\0e\x1f"s),
              "a\\rb\\tc\\x7fd\\x00e\\x1f");
    // C1 controls and the Unicode line separators break lines too.
    EXPECT_EQ(escapedLogText("a\u0085b\u2028c\u2029d\u009b"), "a\\u0085b\\u2028c\\u2029d\\u009b");
}

TEST(LogText, EscapesEachByteOfIllFormedUTF8AndKeepsWellFormedText) {
    EXPECT_EQ(escapedLogText("\xff"
                             "a\xe2\x82"
                             "b\xc0\xaf"
                             "c\xed\xa0\x80"),
              "\\xffa\\xe2\\x82b\\xc0\\xafc\\xed\\xa0\\x80");
    EXPECT_EQ(escapedLogText("Nordlicht über 日本 ☃ 🌌 \\n"), "Nordlicht über 日本 ☃ 🌌 \\n");
    const std::string once = escapedLogText("a\nb\xff\u2028");
    EXPECT_EQ(escapedLogText(once), once) << "escaping again changes nothing";
}

TEST(LogText, ShortensToAtMost200CharactersWithAnEllipsisAtACharacterBoundary) {
    const std::string fits(200, 'a');
    EXPECT_EQ(shortenedText(fits), fits);
    EXPECT_EQ(shortenedText(fits + "b"), std::string(199, 'a') + "…");
    // Characters, not bytes: 201 three-byte characters are cut after 199 of them.
    std::string snowmen;
    for (int i = 0; i < 201; ++i) {
        snowmen += "☃";
    }
    EXPECT_EQ(shortenedText(snowmen), snowmen.substr(0, 199 * 3) + "…");
    EXPECT_EQ(shortenedText(snowmen.substr(0, 200 * 3)), snowmen.substr(0, 200 * 3));
    EXPECT_EQ(shortenedText("ab☃cd", 4), "ab☃…");
}

}  // namespace
}  // namespace lumivo
