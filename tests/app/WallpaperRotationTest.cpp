#include <gtest/gtest.h>

#include "WallpaperRotation.hpp"

namespace lumivo {
namespace {

LastWallpaper entry(const std::string& id) {
    return LastWallpaper{id, id, "/cache/" + id + ".mp4", "ABC", 1, std::nullopt};
}

const auto everyFile = [](const LastWallpaper&) { return true; };

TEST(WallpaperRotationTest, EachRecentWallpaperHasItsTurnTheOneAppliedLongestAgoFirst) {
    // Newest first, as Recent Wallpapers keeps them; "a" plays.
    std::vector<LastWallpaper> recent = {entry("a"), entry("b"), entry("c"), entry("d")};
    std::string playing = "a";
    std::string turns;
    for (int change = 0; change < 8; ++change) {
        const std::optional<LastWallpaper> next =
            WallpaperRotation::next(recent, playing, everyFile);
        ASSERT_TRUE(next);
        turns += next->id;
        // Each change is an apply: it becomes the newest.
        recent = RecentWallpapers::with(recent, *next);
        playing = next->id;
    }
    EXPECT_EQ(turns, "dcbadcba");
}

TEST(WallpaperRotationTest, OnlyOthersWithTheirFileCount) {
    const std::vector<LastWallpaper> recent = {entry("a"), entry("b"), entry("gone")};
    const auto hasFile = [](const LastWallpaper& e) { return e.id != "gone"; };
    EXPECT_EQ(WallpaperRotation::next(recent, "a", hasFile)->id, "b");
    EXPECT_EQ(WallpaperRotation::next(recent, "b", hasFile)->id, "a");
    EXPECT_FALSE(WallpaperRotation::next({entry("a")}, "a", everyFile));
    EXPECT_FALSE(WallpaperRotation::next({}, "a", everyFile));
    // What plays is not in the list (a stop cleared it): the oldest goes first.
    EXPECT_EQ(WallpaperRotation::next(recent, "x", everyFile)->id, "gone");
}

TEST(WallpaperRotationTest, EachScreenMovesOnToAnEntryNoOtherScreenShows) {
    // Newest first; LEFT shows "a", RIGHT "b", MID the same "a" as LEFT.
    const std::vector<LastWallpaper> recent = {entry("a"), entry("b"), entry("c"), entry("d"),
                                               entry("e")};
    const auto moves = WallpaperRotation::nextPerScreen(
        recent, {{"LEFT", "a"}, {"MID", "a"}, {"RIGHT", "b"}}, everyFile);
    std::string turns;
    for (const auto& [screen, next] : moves) {
        turns += screen + "=" + next.id + " ";
    }
    EXPECT_EQ(turns, "LEFT=e MID=d RIGHT=c ");
    // Too few entries to go round: each still moves on, from its own.
    const auto few = WallpaperRotation::nextPerScreen({entry("a"), entry("b")},
                                                      {{"L", "a"}, {"R", "b"}}, everyFile);
    ASSERT_EQ(few.size(), 2U);
    EXPECT_EQ(few[0].second.id, "b");
    EXPECT_EQ(few[1].second.id, "a");
    EXPECT_TRUE(WallpaperRotation::nextPerScreen({entry("a")}, {{"L", "a"}}, everyFile).empty());
}

}  // namespace
}  // namespace lumivo
