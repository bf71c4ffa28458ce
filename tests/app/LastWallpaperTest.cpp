#include <gtest/gtest.h>

#include <map>

#include "LastWallpaper.hpp"
#include "MapSettings.hpp"
#include "RecentWallpapers.hpp"

namespace lumivo {
namespace {

const LastWallpaper cached{"aurora", "Aurora", "/cache/aurora-abc.mp4", "ABC123", 42, std::nullopt};
const LastWallpaper checkout{"local",      "Local",      "/web/assets/local.mp4",
                             std::nullopt, std::nullopt, "https://lumivo.app/assets/local.mp4"};

TEST(LastWallpaperTest, ACachedAndACheckoutWallpaperComeBackAsSaved) {
    for (const auto& saved : {cached, checkout}) {
        MapSettings settings;
        saved.save(settings);
        EXPECT_EQ(LastWallpaper::load(settings), saved);
    }
}

TEST(LastWallpaperTest, SavingReplacesEverythingOfTheEarlierWallpaper) {
    MapSettings settings;
    cached.save(settings);
    checkout.save(settings);
    EXPECT_EQ(LastWallpaper::load(settings), checkout);
    EXPECT_FALSE(settings.text("lastWallpaper/sha256"));
}

TEST(LastWallpaperTest, ForgettingLeavesOtherSettingsAlone) {
    MapSettings settings;
    settings.setFlag("hasShownWelcome", true);
    cached.save(settings);
    LastWallpaper::forget(settings);
    EXPECT_EQ(LastWallpaper::load(settings), std::nullopt);
    EXPECT_TRUE(settings.flag("hasShownWelcome"));
}

TEST(LastWallpaperTest, IncompleteOrDamagedSettingsRememberNothing) {
    const std::pair<const char*, std::optional<std::string>> damage[] = {
        {"lastWallpaper/file", std::nullopt},  {"lastWallpaper/file", ""},
        {"lastWallpaper/title", std::nullopt}, {"lastWallpaper/bytes", "-1"},
        {"lastWallpaper/bytes", "12x"},        {"lastWallpaper/sha256", std::nullopt},
    };
    for (const auto& [key, value] : damage) {
        MapSettings settings;
        cached.save(settings);
        value ? settings.setText(key, *value) : settings.remove(key);
        EXPECT_EQ(LastWallpaper::load(settings), std::nullopt) << key << "=" << value.value_or("-");
    }
}

// ---- Recent Wallpapers: the same entries, a list of them -------------------

LastWallpaper numbered(int n) {
    return LastWallpaper{"id" + std::to_string(n),
                         "Title " + std::to_string(n),
                         "/cache/id" + std::to_string(n) + ".mp4",
                         "ABC",
                         1,
                         std::nullopt};
}

TEST(RecentWallpapersTest, NewestFirstOnePerIdAtMostEightAndKeptAcrossStarts) {
    MapSettings settings;
    std::vector<std::string> log;
    RecentWallpapers recent(settings, "/cache",
                            [&](const std::string& line) { log.push_back(line); });
    for (int n : {1, 2, 3, 2, 4, 5, 6, 7, 8, 9, 5, 1}) {
        recent.add(numbered(n));
    }
    const std::vector<LastWallpaper> expected = {numbered(1), numbered(5), numbered(9),
                                                 numbered(8), numbered(7), numbered(6),
                                                 numbered(4), numbered(2)};
    EXPECT_EQ(recent.entries(), expected);
    EXPECT_EQ(recent.at(7)->title, "Title 2");
    EXPECT_FALSE(recent.at(8));

    RecentWallpapers again(settings, "/cache",
                           [&](const std::string& line) { log.push_back(line); });
    EXPECT_EQ(again.entries(), expected);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(settings.text("recentWallpapers/9/id"));
}

// Counts the keys written: QSettings saves its file at each.
struct CountingSettings : MapSettings {
    int writes = 0;
    void setText(const std::string& key, const std::string& value) override {
        ++writes;
        MapSettings::setText(key, value);
    }
};

TEST(RecentWallpapersTest, AnApplyWritesOneEntryAndTheOrderOnly) {
    CountingSettings settings;
    RecentWallpapers recent(settings, "/cache", [](const std::string&) {});
    for (int n = 1; n <= 9; ++n) {
        recent.add(numbered(n));
    }
    settings.writes = 0;
    recent.add(numbered(10));  // the list is full: the oldest's slot is reused
    EXPECT_EQ(settings.writes, 6) << "five keys of the entry, and the order";
    settings.writes = 0;
    recent.add(numbered(4));  // one it holds
    EXPECT_EQ(settings.writes, 1);
    RecentWallpapers again(settings, "/cache", [](const std::string&) {});
    EXPECT_EQ(again.entries(), recent.entries());
}

TEST(RecentWallpapersTest, DamagedEntriesAreSkippedWithOneLineEachAndDroppedAtTheNextSave) {
    MapSettings settings;
    for (int n = 1; n <= 6; ++n) {
        numbered(n).save(settings, "recentWallpapers/" + std::to_string(n));
    }
    settings.remove("recentWallpapers/2/title");
    settings.setText("recentWallpapers/3/file", "/elsewhere/id3.mp4");
    settings.setText("recentWallpapers/4/id", "id1");  // a second entry for id1
    settings.setText("recentWallpapers/5/bytes", "lots");
    checkout.save(settings, "recentWallpapers/6");  // a checkout file may lie anywhere
    settings.setText("recentWallpapers/order", "1,2,3,4,x,5,6,1,9");
    std::vector<std::string> log;
    RecentWallpapers recent(settings, "/cache/",
                            [&](const std::string& line) { log.push_back(line); });

    EXPECT_EQ(recent.entries(), (std::vector{numbered(1), checkout}));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Skipping recent wallpaper x: no such entry",
                       "Skipping recent wallpaper 9: no such entry",
                       "Skipping recent wallpaper 2: it is incomplete",
                       "Skipping recent wallpaper 3: its cached file is outside the cache",
                       "Skipping recent wallpaper 5: it is incomplete"}));
    EXPECT_EQ(LastWallpaper::load(settings), std::nullopt) << "lastWallpaper is apart";

    recent.add(numbered(7));
    EXPECT_EQ(recent.entries(), (std::vector{numbered(7), numbered(1), checkout}));
    EXPECT_FALSE(settings.text("recentWallpapers/3/id"));
    EXPECT_FALSE(settings.text("recentWallpapers/5/id"));
    EXPECT_FALSE(settings.text("recentWallpapers/4/id"));
    EXPECT_EQ(log.size(), 5u) << "nothing more said";
}

}  // namespace
}  // namespace lumivo
