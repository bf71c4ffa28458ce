// WallpaperPlayer against a real X server and real mpv: its state rules, what
// it leaves behind, and how it reports files mpv cannot play. Run through
// with-display.sh, which provides a private Xvfb.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "HelperError.hpp"
#include "NumericLocale.hpp"
#include "WallpaperPlayer.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

const fs::path kClips = fs::path(LUMIVO_TEST_DATA) / "video";
constexpr int kWaitMs = 10000;

// The X server's map state of a window; absent when the window is gone.
std::optional<uint8_t> xMapState(WId id) {
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, static_cast<uint32_t>(id)),
                                        nullptr),
        &std::free);
    return reply ? std::optional<uint8_t>(reply->map_state) : std::nullopt;
}

bool xWindowExists(WId id) {
    return xMapState(id).has_value();
}

bool xWindowViewable(WId id) {
    return xMapState(id) == XCB_MAP_STATE_VIEWABLE;
}

// The names of this process's threads but Qt's own ("Q..."), which Qt starts
// when it likes (the session bus connection, for one).
std::multiset<std::string> threads() {
    std::multiset<std::string> names;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (!name.starts_with('Q')) {
            names.insert(name);
        }
    }
    return names;
}

int visibleTopLevels() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        n += w->isVisible() ? 1 : 0;
    }
    return n;
}

class WallpaperPlayerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "WallpaperPlayerTest";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        useCNumericLocale();
        // Qt's threads name themselves shortly after they start.
        QTest::qWait(200);
    }
    static void TearDownTestSuite() { app_.reset(); }

    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lumivo-player-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        idleThreads_ = threads();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static inline std::unique_ptr<QApplication> app_;
    fs::path dir_;
    std::multiset<std::string> idleThreads_;
};

TEST_F(WallpaperPlayerTest, StopWhenIdleDoesNothing) {
    WallpaperPlayer player;
    player.stop();
    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.windowId().has_value());
    EXPECT_EQ(visibleTopLevels(), 0);
}

TEST_F(WallpaperPlayerTest, NoScreenThrowsAndChangesNothing) {
    for (const bool playing : {false, true}) {
        SCOPED_TRACE(playing ? "while playing" : "while idle");
        QScreen* screen = QGuiApplication::primaryScreen();
        WallpaperPlayer player([&screen] { return screen; });
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        if (playing) {
            player.start(kClips / "wide-16x9.mp4");
            ASSERT_TRUE(shown.wait(kWaitMs));
        }
        const auto before = player.windowId();

        screen = nullptr;
        try {
            player.start(kClips / "classic-4x3.mp4");
            FAIL() << "start without a screen did not throw";
        } catch (const HelperError& error) {
            EXPECT_EQ(error, HelperError::noMainScreen());
        }

        EXPECT_EQ(player.isPlaying(), playing);
        EXPECT_EQ(player.windowId(), before);
        if (playing) {
            EXPECT_TRUE(xWindowViewable(*before));
        }
        EXPECT_EQ(visibleTopLevels(), playing ? 1 : 0);
        // The old wallpaper plays on: no new first frame, no failure.
        QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
        EXPECT_FALSE(failed.wait(300));
        EXPECT_EQ(shown.count(), playing ? 1 : 0);
    }
}

TEST_F(WallpaperPlayerTest, StartReplacesAndStopUnloadsEverything) {
    WallpaperPlayer player;
    QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
    player.start(kClips / "wide-16x9.mp4");
    ASSERT_TRUE(shown.wait(kWaitMs));
    const WId first = *player.windowId();
    EXPECT_TRUE(xWindowViewable(first));

    player.start(kClips / "classic-4x3.mp4");
    const WId second = *player.windowId();
    EXPECT_FALSE(xWindowExists(first)) << "the replaced window is still there";
    EXPECT_EQ(visibleTopLevels(), 1);
    ASSERT_TRUE(shown.wait(kWaitMs));
    EXPECT_TRUE(xWindowViewable(second));

    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(xWindowExists(second));
    EXPECT_EQ(visibleTopLevels(), 0);
    EXPECT_EQ(threads(), idleThreads_) << "mpv threads outlived stop()";
}

TEST_F(WallpaperPlayerTest, DestroyingAPlayingPlayerUnloadsEverything) {
    WId window = 0;
    {
        WallpaperPlayer player;
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        player.start(kClips / "wide-16x9.mp4");
        ASSERT_TRUE(shown.wait(kWaitMs));
        window = *player.windowId();
    }
    EXPECT_FALSE(xWindowExists(window));
    EXPECT_EQ(threads(), idleThreads_);
}

TEST_F(WallpaperPlayerTest, PlaysAnyLocalPathSpelling) {
    const fs::path clip = kClips / "wide-16x9.mp4";
    fs::copy_file(clip, dir_ / "wall paper – Ünïcode.mp4");
    fs::copy_file(clip, dir_ / "-leading-dash.mp4");
    fs::copy_file(clip, dir_ / "-");
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    const fs::path paths[] = {
        dir_ / "wall paper – Ünïcode.mp4",
        "-leading-dash.mp4",  // relative, and reads like an option
        "-",                  // relative, and means standard input to mpv
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.string());
        WallpaperPlayer player;
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
        player.start(path);
        EXPECT_TRUE(shown.wait(kWaitMs));
        EXPECT_EQ(failed.count(), 0) << failed.value(0).value(0).toString().toStdString();
    }
    fs::current_path(cwd);
}

TEST_F(WallpaperPlayerTest, UnplayableFilesLeaveABlackWallpaperAndMpvsReason) {
    fs::create_directories(dir_ / "folder");
    fs::copy_file(kClips / "wide-16x9.mp4", dir_ / "folder" / "clip.mp4");
    struct Case {
        const char* what;
        fs::path path;
        const char* reasonContains;
    };
    const Case cases[] = {
        {"missing file", dir_ / "missing.mp4", "No such file"},
        {"empty file", write("empty.mp4", ""), "format"},
        {"text file", write("text.mp4", "not a video\n"), "format"},
        {"audio only", kClips / "audio-only.mp4", "No video or audio"},
        // mpv would otherwise follow a playlist or a directory to other files.
        {"playlist", write("list.mp4", "#EXTM3U\n" + (kClips / "wide-16x9.mp4").string() + "\n"),
         "format"},
        {"directory", dir_ / "folder", ""},
        {"empty path", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WallpaperPlayer player;
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
        ASSERT_NO_THROW(player.start(c.path));
        EXPECT_EQ(failed.count(), 0) << "reported before start returned";
        ASSERT_TRUE(failed.wait(kWaitMs));
        const std::string reason = failed.value(0).value(0).toString().toStdString();
        EXPECT_NE(reason, "");
        EXPECT_NE(reason.find(c.reasonContains), std::string::npos) << reason;
        // The black window stays, and nothing else happens.
        EXPECT_TRUE(player.isPlaying());
        EXPECT_TRUE(xWindowViewable(*player.windowId()));
        EXPECT_FALSE(shown.wait(300));
        EXPECT_EQ(failed.count(), 1);
    }
}

TEST_F(WallpaperPlayerTest, SlotsMayStopOrRestartThePlayer) {
    WallpaperPlayer player;
    int restarts = 0;
    QObject::connect(&player, &WallpaperPlayer::playbackFailed, [&] { player.stop(); });
    QObject::connect(&player, &WallpaperPlayer::firstFrameShown, [&] {
        if (restarts++ == 0) {
            player.start(kClips / "classic-4x3.mp4");
        }
    });
    QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
    QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);

    player.start(kClips / "wide-16x9.mp4");
    ASSERT_TRUE(shown.wait(kWaitMs));
    ASSERT_TRUE(shown.count() == 2 || shown.wait(kWaitMs));
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(visibleTopLevels(), 1);

    player.start(dir_ / "missing.mp4");
    ASSERT_TRUE(failed.wait(kWaitMs));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(visibleTopLevels(), 0);
}

}  // namespace
}  // namespace lumivo
