#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "UserSettings.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

// While one lives, the calling thread obeys permission bits as an ordinary
// user does: root's CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH (the tests run as
// root) leave the effective set, and come back with the destructor. Nothing
// changes for a process that has neither.
class PermissionBitsApply {
  public:
    PermissionBitsApply() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~PermissionBitsApply() {
        if (active_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    PermissionBitsApply(const PermissionBitsApply&) = delete;
    PermissionBitsApply& operator=(const PermissionBitsApply&) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

class UserSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("settings-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "Lumivo");
        file = root / "Lumivo" / "LumivoHelper.conf";
    }
    void TearDown() override {
        std::error_code ignored;
        for (const fs::path& path : {root / "Lumivo", file}) {
            fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root);
    }

    // Opens the settings on another thread and gives up after five seconds,
    // feeding a FIFO an end of file so that a reader blocked on it returns.
    std::unique_ptr<UserSettings> open() {
        auto opening = std::async(std::launch::async, [this] {
            return std::make_unique<UserSettings>(
                [this](const std::string& line) { logged.push_back(line); }, file);
        });
        if (opening.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << "opening the settings did not return";
            const int writer = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                ::close(writer);
            }
        }
        return opening.get();
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void expectOneLineNaming(const std::string& problem) {
        ASSERT_EQ(logged.size(), 1U);
        EXPECT_EQ(logged[0], "Cannot use the settings file " + file.string() + ": " + problem +
                                 ". Settings are kept in memory until the helper quits.");
    }
    // Every kind of setting works for this run, in memory.
    static void expectSettingsInMemory(UserSettings& settings) {
        EXPECT_FALSE(settings.usesFile());
        EXPECT_FALSE(settings.flag("hasShownWelcome"));
        settings.setFlag("hasShownWelcome", true);
        EXPECT_TRUE(settings.flag("hasShownWelcome"));
        settings.setText("screens", "span");
        EXPECT_EQ(settings.text("screens"), "span");
    }

    fs::path root;
    fs::path file;
    std::vector<std::string> logged;
};

TEST_F(UserSettingsTest, SettingsAreKeptInTheFileForTheNextStart) {
    auto settings = open();
    settings->setFlag("hasShownWelcome", true);
    settings->setText("lastWallpaper/id", "aurora");
    settings.reset();
    settings = open();
    EXPECT_TRUE(settings->usesFile());
    EXPECT_TRUE(settings->flag("hasShownWelcome"));
    EXPECT_EQ(settings->text("lastWallpaper/id"), "aurora");
    EXPECT_TRUE(logged.empty());
}

TEST_F(UserSettingsTest, AFifoInPlaceOfTheFileIsNeitherWaitedForNorTouched) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    auto settings = open();
    expectOneLineNaming("it is a FIFO, not a regular file");
    expectSettingsInMemory(*settings);
    settings.reset();
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(UserSettingsTest, AFolderInPlaceOfTheFileIsLeftAsItIs) {
    fs::create_directories(file / "keep");
    auto settings = open();
    expectOneLineNaming("it is a folder, not a regular file");
    expectSettingsInMemory(*settings);
    settings.reset();
    EXPECT_TRUE(fs::is_directory(file / "keep"));
}

TEST_F(UserSettingsTest, AnUnreadableFileIsNotOverwrittenWithDefaults) {
    std::ofstream(file) << "[General]\nhasShownWelcome=true\nscreens=main\n";
    fs::permissions(file, fs::perms::none);
    const PermissionBitsApply asUser;
    auto settings = open();
    expectOneLineNaming("it cannot be read: Permission denied");
    expectSettingsInMemory(*settings);
    settings.reset();
    fs::permissions(file, fs::perms::owner_read, fs::perm_options::add);
    EXPECT_EQ(read(file), "[General]\nhasShownWelcome=true\nscreens=main\n");
}

TEST_F(UserSettingsTest, AFailedWriteIsLoggedOnceAndItsValueHoldsForTheRun) {
    std::ofstream(file) << "[General]\nhasShownWelcome=true\n";
    fs::permissions(root / "Lumivo", fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(file, fs::perms::owner_read);
    const PermissionBitsApply asUser;
    auto settings = open();
    EXPECT_TRUE(settings->flag("hasShownWelcome")) << "the file is read";
    settings->setText("screens", "span");
    settings->setText("lastWallpaper/id", "aurora");
    settings->remove("lastWallpaper");
    EXPECT_EQ(settings->text("screens"), "span");
    ASSERT_EQ(logged.size(), 1U);
    EXPECT_EQ(logged[0], "Cannot save the settings file " + file.string() +
                             ": Permission denied. Changes last until the helper quits.");
}

TEST_F(UserSettingsTest, AFileWhereTheFolderBelongsIsNamedAndKept) {
    fs::remove_all(root / "Lumivo");
    std::ofstream(root / "Lumivo") << "a file where the folder belongs";
    auto settings = open();
    expectOneLineNaming((root / "Lumivo").string() + " is not a folder");
    expectSettingsInMemory(*settings);
    EXPECT_EQ(logged.size(), 1U);
    EXPECT_EQ(read(root / "Lumivo"), "a file where the folder belongs");
}

TEST_F(UserSettingsTest, RemovingAGroupInMemoryRemovesItsKeysOnly) {
    fs::create_directories(file);
    auto settings = open();
    settings->setText("lastWallpaper/id", "aurora");
    settings->setText("lastWallpaper/title", "Aurora");
    settings->setText("lastWallpaperNote", "kept");
    settings->remove("lastWallpaper");
    EXPECT_EQ(settings->text("lastWallpaper/id"), std::nullopt);
    EXPECT_EQ(settings->text("lastWallpaper/title"), std::nullopt);
    EXPECT_EQ(settings->text("lastWallpaperNote"), "kept");
}

}  // namespace
}  // namespace lumivo
