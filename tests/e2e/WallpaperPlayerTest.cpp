// WallpaperPlayer against a real X server and real mpv: its state rules, what
// it leaves behind, and how it reports files mpv cannot play. Run through
// with-display.sh, which provides a private Xvfb.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HelperError.hpp"
#include "NumericLocale.hpp"
#include "TestApplication.hpp"
#include "WallpaperPlayer.hpp"
#include "X11Outputs.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

const fs::path kClips = fs::path(LUMIVO_TEST_DATA) / "video";
constexpr int kWaitMs = 10000;

// The X11 backend on $DISPLAY, the private Xvfb.
std::unique_ptr<Outputs> onX11() {
    return std::make_unique<X11Outputs>();
}

// The viewable top-level windows typed _NET_WM_WINDOW_TYPE_DESKTOP: the
// player's wallpaper windows (it has its own X connection, so Qt knows none).
std::vector<xcb_window_t> desktopWindows() {
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto atom = [c](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
            &std::free);
        return reply->atom;
    };
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
    std::vector<xcb_window_t> found;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> value(
            xcb_get_property_reply(
                c, xcb_get_property(c, 0, children[i], type, XCB_ATOM_ATOM, 0, 1), nullptr),
            &std::free);
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr),
            &std::free);
        if (value && xcb_get_property_value_length(value.get()) == 4 &&
            *static_cast<xcb_atom_t*>(xcb_get_property_value(value.get())) == desktop &&
            attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            found.push_back(children[i]);
        }
    }
    return found;
}

// The player talks to the server on its own connection, which the server
// serves in its own time: wait until the windows are as expected.
bool desktopWindowsBecome(std::size_t count) {
    for (int i = 0; i < 200 && desktopWindows().size() != count; ++i) {
        QTest::qWait(10);
    }
    return desktopWindows().size() == count;
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

class WallpaperPlayerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        app_ = makeTestApplication<QApplication>("WallpaperPlayerTest");
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
    WallpaperPlayer player(onX11);
    player.stop();
    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(desktopWindows().empty());
}

TEST_F(WallpaperPlayerTest, NoScreenThrowsAndChangesNothing) {
    for (const bool playing : {false, true}) {
        SCOPED_TRACE(playing ? "while playing" : "while idle");
        std::string display;  // $DISPLAY
        WallpaperPlayer player([&display] { return std::make_unique<X11Outputs>(display); });
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        if (playing) {
            player.start(kClips / "wide-16x9.mp4");
            ASSERT_TRUE(shown.wait(kWaitMs));
        }
        ASSERT_TRUE(desktopWindowsBecome(playing ? 1 : 0));
        const auto before = desktopWindows();

        display = ":65432";  // no X server there
        try {
            player.start(kClips / "classic-4x3.mp4");
            FAIL() << "start without a screen did not throw";
        } catch (const HelperError& error) {
            EXPECT_EQ(error, HelperError::noMainScreen());
        }

        EXPECT_EQ(player.isPlaying(), playing);
        EXPECT_EQ(desktopWindows(), before);
        // The old wallpaper plays on: no new first frame, no failure.
        QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
        EXPECT_FALSE(failed.wait(300));
        EXPECT_EQ(shown.count(), playing ? 1 : 0);
    }
}

TEST_F(WallpaperPlayerTest, StartReplacesAndStopUnloadsEverything) {
    WallpaperPlayer player(onX11);
    QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
    player.start(kClips / "wide-16x9.mp4");
    ASSERT_TRUE(shown.wait(kWaitMs));
    ASSERT_TRUE(desktopWindowsBecome(1));
    const auto first = desktopWindows();

    player.start(kClips / "classic-4x3.mp4");
    ASSERT_TRUE(shown.wait(kWaitMs));
    ASSERT_TRUE(desktopWindowsBecome(1)) << "the replaced window is still there";
    const auto second = desktopWindows();
    EXPECT_NE(second, first);

    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(desktopWindowsBecome(0));
    EXPECT_EQ(threads(), idleThreads_) << "mpv threads outlived stop()";
}

TEST_F(WallpaperPlayerTest, PassesEachNoteOfTheBackendOnOncePerPlayer) {
    // Every start opens the backend anew, and it notes what it finds on the
    // desktop again: the log says each thing once.
    Outputs* backend = nullptr;
    WallpaperPlayer player([&backend] {
        auto outputs = onX11();
        backend = outputs.get();
        return outputs;
    });
    QSignalSpy noted(&player, &WallpaperPlayer::noted);
    const QString icons = QStringLiteral("its desktop icons are under the video");
    const QString paused = QStringLiteral("restacks pause");
    player.start(kClips / "wide-16x9.mp4");
    emit backend->noted(icons);
    emit backend->noted(icons);
    player.start(kClips / "classic-4x3.mp4");
    emit backend->noted(icons);
    emit backend->noted(paused);
    int iconNotes = 0;
    int pauseNotes = 0;
    for (const QList<QVariant>& arguments : noted) {
        iconNotes += arguments.at(0).toString() == icons ? 1 : 0;
        pauseNotes += arguments.at(0).toString() == paused ? 1 : 0;
    }
    EXPECT_EQ(iconNotes, 1);
    EXPECT_EQ(pauseNotes, 1);
}

TEST_F(WallpaperPlayerTest, DestroyingAPlayingPlayerUnloadsEverything) {
    {
        WallpaperPlayer player(onX11);
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        player.start(kClips / "wide-16x9.mp4");
        ASSERT_TRUE(shown.wait(kWaitMs));
    }
    EXPECT_TRUE(desktopWindowsBecome(0));
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
        WallpaperPlayer player(onX11);
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
        WallpaperPlayer player(onX11);
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
        EXPECT_TRUE(desktopWindowsBecome(1));
        EXPECT_FALSE(shown.wait(300));
        EXPECT_EQ(failed.count(), 1);
    }
}

TEST_F(WallpaperPlayerTest, SlotsMayStopOrRestartThePlayer) {
    WallpaperPlayer player(onX11);
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
    EXPECT_TRUE(desktopWindowsBecome(1));

    player.start(dir_ / "missing.mp4");
    ASSERT_TRUE(failed.wait(kWaitMs));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(desktopWindowsBecome(0));
}

// A display of the test's own (Xvfb) that it can take away; "" when it
// cannot be started.
std::string startPrivateDisplay(QProcess& server) {
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "320x180x24", "-nolisten", "tcp"});
    if (!server.waitForStarted() ||
        !QTest::qWaitFor([&] { return server.canReadLine(); }, kWaitMs)) {
        return {};
    }
    return ":" + server.readLine().trimmed().toStdString();
}

// The render paths a display that goes away is tried with. Under
// AddressSanitizer software only: Mesa's EGL driver leaks a few bytes that
// LeakSanitizer cannot tell from ours, as the driver is unloaded by then.
std::vector<const char*> renderPathsToLose() {
#if defined(__SANITIZE_ADDRESS__)
    return {"sw"};
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return {"sw"};
#endif
#endif
    return {"sw", "gl"};
}

TEST_F(WallpaperPlayerTest, ADisplayThatGoesAwayIsToldOnceOnEitherRenderPath) {
    const char* saved = std::getenv("LUMIVO_RENDER");
    const std::string before = saved != nullptr ? saved : "";
    for (const char* path : renderPathsToLose()) {
        SCOPED_TRACE(path);
        ::setenv("LUMIVO_RENDER", path, 1);
        QProcess server;
        const std::string display = startPrivateDisplay(server);
        ASSERT_NE(display, "");
        WallpaperPlayer player([&display] { return std::make_unique<X11Outputs>(display); });
        QSignalSpy shown(&player, &WallpaperPlayer::firstFrameShown);
        QSignalSpy failed(&player, &WallpaperPlayer::playbackFailed);
        QSignalSpy noted(&player, &WallpaperPlayer::noted);
        player.start(kClips / "wide-16x9.mp4");
        ASSERT_TRUE(shown.wait(kWaitMs));

        server.kill();  // while frames are being drawn
        server.waitForFinished();
        QElapsedTimer waited;
        waited.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return noted.count() >= 2; }, kWaitMs));
        // Nothing held the event loop up meanwhile (an EGL driver that spins
        // on the broken connection would, for a minute or more).
        EXPECT_LT(waited.elapsed(), kWaitMs);
        QTest::qWait(500);
        ASSERT_EQ(noted.count(), 2) << "the render path's line, then the lost display's";
        EXPECT_EQ(noted.value(1).value(0).toString().toStdString(),
                  "Wallpaper display lost: the connection to the X server was lost");
        EXPECT_EQ(failed.count(), 0) << failed.value(0).value(0).toString().toStdString();
        player.stop();  // nothing waits on the server that is gone
        EXPECT_FALSE(player.isPlaying());
    }
    if (saved != nullptr) {
        ::setenv("LUMIVO_RENDER", before.c_str(), 1);
    } else {
        ::unsetenv("LUMIVO_RENDER");
    }
}

}  // namespace
}  // namespace lumivo
