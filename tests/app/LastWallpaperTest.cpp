#include <gtest/gtest.h>

#include <map>

#include "LastWallpaper.hpp"

namespace lumivo {
namespace {

// Settings as QSettings keeps them: "group/key" texts; removing a group
// removes every key in it.
struct MapSettings : SettingsStoring {
    std::map<std::string, std::string> values;
    bool flag(const std::string& key) const override { return values.count(key) > 0; }
    void setFlag(const std::string& key, bool value) override {
        values[key] = value ? "true" : "false";
    }
    std::optional<std::string> text(const std::string& key) const override {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    void setText(const std::string& key, const std::string& value) override { values[key] = value; }
    void remove(const std::string& key) override {
        std::erase_if(values, [&](const auto& entry) {
            return entry.first == key || entry.first.starts_with(key + "/");
        });
    }
};

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
