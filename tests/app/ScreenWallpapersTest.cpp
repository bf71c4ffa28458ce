// Each screen's remembered wallpaper in the settings, and the menu's line of
// what plays.
#include <gtest/gtest.h>

#include "MapSettings.hpp"
#include "ScreenWallpapers.hpp"

namespace lumivo {
namespace {

using Lines = std::vector<std::string>;

LastWallpaper cached(const std::string& id, const std::string& folder = "/cache") {
    return LastWallpaper{id, "Title " + id, folder + "/" + id + ".mp4", "ABC", 11, std::nullopt};
}

LastWallpaper checkout(const std::string& id) {
    return LastWallpaper{id,           "Title " + id, "/checkout/" + id + ".mp4",
                         std::nullopt, std::nullopt,  "https://x/assets/" + id + ".mp4"};
}

struct Memory {
    MapSettings settings;
    Lines log;
    ScreenWallpapers open() {
        return ScreenWallpapers(settings, "/cache/",
                                [this](const std::string& line) { log.push_back(line); });
    }
};

TEST(ScreenWallpapersTest, EachScreensWallpaperOutlivesTheHelperByName) {
    Memory m;
    {
        ScreenWallpapers screens = m.open();
        screens.set("DP-1", cached("a"));
        screens.set("HDMI-A-1/odd name", checkout("b"));
        screens.set("DP-1", checkout("c"));  // replaces a
    }
    ScreenWallpapers again = m.open();
    EXPECT_EQ(again.entries(), (std::map<std::string, LastWallpaper>{
                                   {"DP-1", checkout("c")}, {"HDMI-A-1/odd name", checkout("b")}}));
    again.erase("DP-1");
    EXPECT_EQ(m.open().entries().size(), 1U);
    again.clear();
    EXPECT_TRUE(m.open().entries().empty());
    EXPECT_TRUE(m.settings.values.empty()) << "a cleared list leaves nothing behind";
    EXPECT_TRUE(m.log.empty());
}

TEST(ScreenWallpapersTest, DamagedEntriesAreSkippedWithOneLineEach) {
    Memory m;
    {
        ScreenWallpapers screens = m.open();
        screens.set("A", cached("a"));
        screens.set("B", cached("b"));
        screens.set("C", cached("c"));
        screens.set("D", cached("d"));
    }
    m.settings.remove("screenWallpapers/1/title");                 // incomplete
    m.settings.setText("screenWallpapers/2/file", "/etc/passwd");  // outside the cache
    m.settings.setText("screenWallpapers/4/screen", "C");          // C has one already
    ScreenWallpapers screens = m.open();
    EXPECT_EQ(screens.entries(), (std::map<std::string, LastWallpaper>{{"C", cached("c")}}));
    EXPECT_EQ(m.log, (Lines{"Skipping screen wallpaper 1: it is incomplete",
                            "Skipping screen wallpaper 2: its cached file is outside the cache",
                            "Skipping screen wallpaper 4: its screen has one already"}));
    // The next change writes only what was sound.
    screens.set("E", checkout("e"));
    m.log.clear();
    EXPECT_EQ(m.open().entries().size(), 2U);
    EXPECT_TRUE(m.log.empty());

    for (const char* count : {"x", "-1", "65", "2 "}) {
        SCOPED_TRACE(count);
        m.settings.setText("screenWallpapers/count", count);
        m.log.clear();
        EXPECT_TRUE(m.open().entries().empty());
        EXPECT_EQ(m.log.size(), 1U);
    }
}

TEST(ScreenWallpapersTest, ThePlayingLineListsTitlesLeftToRightOnceEach) {
    const std::vector<Monitor> leftToRight{
        {"L", {0, 0, 10, 10}, false}, {"M", {10, 0, 10, 10}, true}, {"R", {20, 0, 10, 10}, false}};
    const std::map<std::string, LastWallpaper> own{{"R", checkout("tidal")},
                                                   {"L", checkout("aurora")}};
    EXPECT_EQ(ScreenWallpapers::playingLine(leftToRight, own, "Title prism"),
              "Title aurora, Title prism, Title tidal");
    EXPECT_EQ(ScreenWallpapers::playingLine(
                  leftToRight, {{"M", checkout("x")}, {"R", checkout("x")}}, "Title x"),
              "Title x");
    // No screen has its own: the one title, as outside each-screen mode.
    EXPECT_EQ(ScreenWallpapers::playingLine(leftToRight, {{"gone", checkout("t")}}, "Title p"),
              "Title p");
    EXPECT_EQ(ScreenWallpapers::playingLine({}, {}, std::nullopt), std::nullopt);
    // Titles are shortened one by one.
    LastWallpaper longOne = checkout("l");
    longOne.title = std::string(60, 'x');
    EXPECT_EQ(ScreenWallpapers::playingLine(leftToRight, {{"L", longOne}}, "p"),
              std::string(39, 'x') + "…, p");
}

}  // namespace
}  // namespace lumivo
