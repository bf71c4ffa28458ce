#include <gtest/gtest.h>

#include <map>

#include "LastWallpaper.hpp"
#include "MapSettings.hpp"

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

}  // namespace
}  // namespace lumivo
