#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AutostartEntry.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

class AutostartEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("autostart-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    static std::string read(const fs::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path root;
};

TEST_F(AutostartEntryTest, EnableCreatesTheFolderAndAnEntryThatRunsTheLauncherWithAutostart) {
    const AutostartEntry entry(root / "autostart" / "app.lumivo.Helper.desktop",
                               "/usr/bin/lumivo-helper");
    EXPECT_FALSE(entry.exists());
    entry.enable();
    ASSERT_TRUE(entry.exists());
    const std::string text = read(entry.file());
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n")) << text;
    EXPECT_NE(text.find("\nExec=/usr/bin/lumivo-helper --autostart\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
}

TEST_F(AutostartEntryTest, ExecQuotesALauncherPathWithReservedCharacters) {
    const AutostartEntry entry(root / "entry.desktop", "/home/a b/$x\"y\\z%/lumivo-helper");
    EXPECT_NE(entry.contents().find("\nExec=\"/home/a b/\\\\$x\\\\\"y\\\\\\\\z%%/lumivo-helper\" "
                                    "--autostart\n"),
              std::string::npos)
        << entry.contents();
}

TEST_F(AutostartEntryTest, DisableRemovesOnlyItsOwnFileAndToleratesAbsence) {
    fs::create_directories(root / "autostart");
    std::ofstream(root / "autostart" / "other.desktop") << "[Desktop Entry]\n";
    const AutostartEntry entry(root / "autostart" / "app.lumivo.Helper.desktop", "/bin/true");
    entry.enable();
    entry.disable();
    EXPECT_FALSE(entry.exists());
    EXPECT_NO_THROW(entry.disable());
    EXPECT_TRUE(fs::exists(root / "autostart" / "other.desktop"));
}

TEST_F(AutostartEntryTest, AConfigFolderThatIsAFileGivesAMessageNamingIt) {
    std::ofstream(root / "autostart") << "not a folder";
    const AutostartEntry entry(root / "autostart" / "app.lumivo.Helper.desktop", "/bin/true");
    try {
        entry.enable();
        FAIL() << "enable succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find((root / "autostart").string()), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(read(root / "autostart"), "not a folder");
}

TEST_F(AutostartEntryTest, AnEntryThatIsAFolderIsRefusedWithoutTouchingIt) {
    fs::create_directories(root / "autostart" / "app.lumivo.Helper.desktop" / "keep");
    const AutostartEntry entry(root / "autostart" / "app.lumivo.Helper.desktop", "/bin/true");
    EXPECT_FALSE(entry.exists());
    EXPECT_THROW(entry.enable(), std::runtime_error);
    EXPECT_TRUE(fs::exists(root / "autostart" / "app.lumivo.Helper.desktop" / "keep"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "autostart"), fs::directory_iterator()),
              1);
}

TEST_F(AutostartEntryTest, TheLauncherIsBesideTheHelperInABuildTreeElseInBin) {
    fs::create_directories(root / "build");
    std::ofstream(root / "build" / "lumivo-helper") << "";
    EXPECT_EQ(AutostartEntry::launcherFor(root / "build" / "lumivo-helper-app"),
              root / "build" / "lumivo-helper");
    EXPECT_EQ(AutostartEntry::launcherFor("/usr/libexec/lumivo-helper-app"),
              fs::path("/usr/bin/lumivo-helper"));
}

TEST_F(AutostartEntryTest, TheDefaultFileFollowsXdgConfigHomeAndNeedsAnAbsolutePath) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedConfig =
        config ? std::optional<std::string>(config) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(AutostartEntry::defaultFile(), fs::path("/cfg/autostart/app.lumivo.Helper.desktop"));
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(AutostartEntry::defaultFile(),
              fs::path("/home/u/.config/autostart/app.lumivo.Helper.desktop"));
    ::setenv("HOME", "relative", 1);
    EXPECT_EQ(AutostartEntry::defaultFile(), std::nullopt);
    ::setenv("HOME", home.c_str(), 1);
    savedConfig ? ::setenv("XDG_CONFIG_HOME", savedConfig->c_str(), 1)
                : ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace lumivo
