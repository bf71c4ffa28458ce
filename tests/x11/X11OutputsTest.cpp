// The X11 backend on a private Xvfb (with-display.sh): what its canvases show
// where. The test reads the screen on a connection of its own.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "PlainOutput.hpp"
#include "TestApplication.hpp"
#include "X11Outputs.hpp"

namespace lumivo {
namespace {

constexpr int kWaitMs = 2000;
constexpr std::uint32_t kRed = 0x00FF0000;  // X, R, G, B from the top byte down

// Paints the whole canvas in `colour`.
void fill(FrameBuffer& canvas, std::uint32_t colour) {
    std::uint8_t* pixels = canvas.acquire();
    for (int y = 0; y < canvas.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(pixels + canvas.stride() * y);
        std::fill(row, row + canvas.width(), colour);
    }
}

// The screen as another client sees it, on a connection of its own.
class Screen {
  public:
    Screen() : c_(xcb_connect(nullptr, nullptr)) {}
    ~Screen() { xcb_disconnect(c_); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool connected() const { return xcb_connection_has_error(c_) == 0; }
    // Destroys a window of another client, as any client may.
    void destroy(xcb_window_t window) const {
        xcb_destroy_window(c_, window);
        xcb_flush(c_);
    }
    // The pixel at (x, y), as 0x00RRGGBB.
    std::uint32_t pixel(int x, int y) const {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
            xcb_get_image_reply(
                c_,
                xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<int16_t>(x),
                              static_cast<int16_t>(y), 1, 1, ~0u),
                nullptr),
            &std::free);
        std::uint32_t value = 0;
        if (image && xcb_get_image_data_length(image.get()) >= 4) {
            std::memcpy(&value, xcb_get_image_data(image.get()), 4);
        }
        return value & 0x00FFFFFF;
    }
    // Runs the event loop as the helper does, sleeping in between (the
    // backend sends what it drew before the loop sleeps), until (x, y) of the
    // screen shows `colour` or the time is up.
    bool showsAt(int x, int y, std::uint32_t colour) const {
        QElapsedTimer waited;
        waited.start();
        while (pixel(x, y) != colour) {
            if (waited.elapsed() > kWaitMs) {
                return false;
            }
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }
    // The same in the middle of the screen.
    bool shows(std::uint32_t colour) const { return showsAt(320, 180, colour); }

  private:
    xcb_connection_t* c_;
};

class X11OutputsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { app_ = makeTestApplication<QCoreApplication>("X11OutputsTest"); }
    static void TearDownTestSuite() { app_.reset(); }
    void SetUp() override { ASSERT_TRUE(screen_.connected()); }

    static inline std::unique_ptr<QCoreApplication> app_;
    Screen screen_;
};

TEST_F(X11OutputsTest, ACanvasShowsOnlyOnItsOwnBackendsCurrentWindows) {
    X11Outputs outputs;
    const std::vector<Output*> shown = outputs.showOn({0});
    ASSERT_EQ(shown.size(), 1u);
    const Monitor monitor = shown[0]->monitor();
    const Rect all{0, 0, monitor.geometry.width, monitor.geometry.height};
    std::unique_ptr<FrameBuffer> canvas = outputs.createFrameBuffer(all.width, all.height);
    fill(*canvas, kRed);
    ASSERT_TRUE(screen_.shows(0)) << "the new window is not black";

    PlainOutput foreign({"foreign", {0, 0, 640, 360}, true});
    canvas->present(foreign, all);
    EXPECT_FALSE(screen_.shows(kRed)) << "another backend's surface reached this one's window";

    canvas->present(*shown[0], all);
    EXPECT_TRUE(screen_.shows(kRed));

    // A window of an earlier layout is no longer the canvas's to draw on.
    const Output& earlier = *shown[0];
    outputs.showOn({});
    ASSERT_TRUE(screen_.shows(0));
    canvas->present(earlier, all);
    EXPECT_FALSE(screen_.shows(kRed));
}

TEST_F(X11OutputsTest, AWindowAnotherClientDestroysIsLostOnceAndMadeAnewOnlyByTheNextLayout) {
    X11Outputs outputs;
    QSignalSpy lost(&outputs, &Outputs::lost);
    const std::vector<Output*> shown = outputs.showOn({0});
    ASSERT_EQ(shown.size(), 1u);
    // The GL path's native window is the X window id.
    const xcb_window_t window = *static_cast<xcb_window_t*>(shown[0]->eglNativeWindow());
    ASSERT_TRUE(screen_.shows(0));

    screen_.destroy(window);
    ASSERT_TRUE(lost.wait(kWaitMs));
    EXPECT_EQ(lost.value(0).value(0).toString().toStdString(),
              "the wallpaper window on " + shown[0]->monitor().name + " was destroyed");
    EXPECT_FALSE(lost.wait(300));
    EXPECT_TRUE(outputs.connected());

    // The next layout puts a new window there, which shows a canvas again.
    const std::vector<Output*> again = outputs.showOn({0});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(*static_cast<xcb_window_t*>(again[0]->eglNativeWindow()), window);
    const Rect all{0, 0, 64, 36};
    std::unique_ptr<FrameBuffer> canvas = outputs.createFrameBuffer(all.width, all.height);
    fill(*canvas, kRed);
    canvas->present(*again[0], all);
    EXPECT_TRUE(screen_.showsAt(10, 10, kRed));
    EXPECT_EQ(lost.count(), 1);
}

}  // namespace
}  // namespace lumivo
