// X11Coverage against a real EWMH window manager: openbox on a 2560x720 Xvfb
// split into two monitors (with-display.sh with E2E_MONITORS and E2E_WM).
// Client windows come from a connection of the test's own; wmctrl and xdotool
// change them the way a user or an application would.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestApplication.hpp"
#include "X11Coverage.hpp"

namespace lumivo {
namespace {

constexpr int kWaitMs = 5000;
const std::vector<QRect> kMonitors = {{0, 0, 1280, 720}, {1280, 0, 1280, 720}};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply->atom;
}

// A top-level window at a place of its choosing (USPosition), with an optional
// _NET_WM_WINDOW_TYPE, managed by the window manager once constructed;
// destroyed with the object.
class TestWindow {
  public:
    TestWindow(xcb_connection_t* c, int x, int y, int width, int height, const char* type = nullptr)
        : c_(c), id_(xcb_generate_id(c)) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id_, screen->root, static_cast<int16_t>(x),
                          static_cast<int16_t>(y), static_cast<uint16_t>(width),
                          static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        uint32_t hints[18] = {1 | 2, static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                              static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id_, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        if (type) {
            const xcb_atom_t value = atom(c, type);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, id_, atom(c, "_NET_WM_WINDOW_TYPE"),
                                XCB_ATOM_ATOM, 32, 1, &value);
        }
        xcb_map_window(c, id_);
        xcb_flush(c);
        // Requests to the window manager about a window it does not manage
        // yet are lost; it gives managed windows a desktop.
        const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
                    xcb_get_property_reply(
                        c, xcb_get_property(c, 0, id_, desktop, XCB_ATOM_CARDINAL, 0, 1), nullptr),
                    &std::free);
                return reply && reply->value_len == 1;
            },
            kWaitMs));
    }
    ~TestWindow() {
        xcb_destroy_window(c_, id_);
        xcb_flush(c_);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    QString id() const { return QString::number(id_); }

  private:
    xcb_connection_t* c_;
    xcb_window_t id_;
};

std::string describe(const std::vector<bool>& flags) {
    std::ostringstream out;
    for (bool f : flags) {
        out << (f ? 'H' : '-');
    }
    return out.str();
}

class X11CoverageTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        app_ = makeTestApplication<QCoreApplication>("X11CoverageTest");
        clients_ = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(clients_), 0);
    }
    static void TearDownTestSuite() {
        xcb_disconnect(clients_);
        app_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(coverage_.connected());
        coverage_.setMonitors(kMonitors);
        ASSERT_TRUE(becomes({false, false}));
    }
    void TearDown() override { run("wmctrl", {"-s", "0"}); }

    // Waits until the flags are `expected`.
    ::testing::AssertionResult becomes(const std::vector<bool>& expected) {
        if (QTest::qWaitFor([&] { return coverage_.hidden() == expected; }, kWaitMs)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "hidden " << describe(coverage_.hidden()) << ", expected " << describe(expected);
    }

    static void run(const QString& program, const QStringList& arguments) {
        ASSERT_EQ(QProcess::execute(program, arguments), 0) << program.toStdString();
    }
    static void wmState(const TestWindow& w, const char* change) {
        run("wmctrl", {"-i", "-r", w.id(), "-b", change});
    }

    static inline std::unique_ptr<QCoreApplication> app_;
    static inline xcb_connection_t* clients_ = nullptr;
    X11Coverage coverage_;
};

TEST_F(X11CoverageTest, FullscreenHidesOnlyItsMonitorUntilItLeavesFullscreen) {
    TestWindow left(clients_, 100, 100, 400, 300);
    TestWindow right(clients_, 1400, 100, 400, 300);
    wmState(left, "add,fullscreen");
    EXPECT_TRUE(becomes({true, false}));
    wmState(right, "add,fullscreen");
    EXPECT_TRUE(becomes({true, true}));
    wmState(left, "remove,fullscreen");
    EXPECT_TRUE(becomes({false, true}));
    wmState(right, "remove,fullscreen");
    EXPECT_TRUE(becomes({false, false}));
}

TEST_F(X11CoverageTest, MaximisedHidesAndHalfAMonitorDoesNot) {
    TestWindow half(clients_, 1280, 0, 640, 680);
    TestWindow maximised(clients_, 100, 100, 400, 300);
    wmState(maximised, "add,maximized_vert,maximized_horz");
    // The half window is older, so it is known by now and hides nothing.
    EXPECT_TRUE(becomes({true, false}));
    // Grown to the whole monitor (its frame and all), it hides it.
    run("xdotool", {"windowsize", half.id(), "1280", "720"});
    EXPECT_TRUE(becomes({true, true}));
    wmState(maximised, "remove,maximized_vert,maximized_horz");
    EXPECT_TRUE(becomes({false, true}));
}

TEST_F(X11CoverageTest, OnlyWindowsShownOnTheCurrentDesktopHide) {
    TestWindow window(clients_, 100, 100, 400, 300);
    wmState(window, "add,fullscreen");
    EXPECT_TRUE(becomes({true, false}));
    run("wmctrl", {"-i", "-r", window.id(), "-t", "1"});
    EXPECT_TRUE(becomes({false, false}));
    run("wmctrl", {"-s", "1"});
    EXPECT_TRUE(becomes({true, false}));
    run("wmctrl", {"-i", "-r", window.id(), "-t", "0"});
    EXPECT_TRUE(becomes({false, false}));
    run("wmctrl", {"-s", "0"});
    EXPECT_TRUE(becomes({true, false}));
    run("xdotool", {"windowminimize", window.id()});
    EXPECT_TRUE(becomes({false, false}));
    run("wmctrl", {"-i", "-a", window.id()});
    EXPECT_TRUE(becomes({true, false}));
}

TEST_F(X11CoverageTest, DesktopAndDockWindowsNeverHide) {
    QSignalSpy changed(&coverage_, &X11Coverage::hiddenChanged);
    TestWindow wallpaper(clients_, 0, 0, 2560, 720, "_NET_WM_WINDOW_TYPE_DESKTOP");
    TestWindow dock(clients_, 0, 0, 2560, 720, "_NET_WM_WINDOW_TYPE_DOCK");
    TestWindow window(clients_, 1400, 100, 400, 300);
    wmState(window, "add,fullscreen");
    EXPECT_TRUE(becomes({false, true}));
    EXPECT_EQ(changed.count(), 1);
}

}  // namespace
}  // namespace lumivo
