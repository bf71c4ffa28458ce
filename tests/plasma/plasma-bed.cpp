// plasma-bed: what the Plasma end-to-end tests need of KWin that no packaged
// tool offers.
//   plasma-bed screenshot FILE.png   the whole workspace, through
//                                    org.kde.KWin.ScreenShot2.CaptureWorkspace
//   plasma-bed click X Y [N]         N left clicks (default 1) at X,Y in global
//                                    coordinates, through org_kde_kwin_fake_input
//   plasma-bed window full|max       a grey window, full screen or maximised,
//                                    until killed
//   plasma-bed wait-video MS          captures until a test clip's colours fill
//                                    the first screen's middle; prints the
//                                    milliseconds that took
// KWin must run with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 and
// KWIN_WAYLAND_NO_PERMISSION_CHECKS=1. Exits 1 with a message on failure.
#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QColor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>
#include <cstring>
#include <iostream>
#include <thread>

#include "fake-input-client-protocol.h"

namespace {

int fail(const std::string& message) {
    std::cerr << "plasma-bed: " << message << "\n";
    return 1;
}

// The whole workspace, or a null image (with a message) on failure.
QImage capture() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        fail("pipe failed");
        return {};
    }
    // KWin writes the pixels only after it answered; read them on a thread so
    // that a large picture cannot fill the pipe while the answer waits.
    QByteArray data;
    std::thread reader([&] {
        char chunk[65536];
        ssize_t n;
        while ((n = read(fds[0], chunk, sizeof chunk)) > 0) {
            data.append(chunk, static_cast<int>(n));
        }
    });
    QDBusMessage reply;
    {
        // The message holds a copy of the write end until it is gone; the
        // reader sees the end of the data only after that.
        QDBusMessage call =
            QDBusMessage::createMethodCall("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                           "org.kde.KWin.ScreenShot2", "CaptureWorkspace");
        call << QVariantMap{{"native-resolution", true}}
             << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        close(fds[1]);
        reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 20000);
    }
    reader.join();
    close(fds[0]);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        fail("CaptureWorkspace failed: " + reply.errorMessage().toStdString());
        return {};
    }
    const QVariantMap info = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    const int width = info.value("width").toInt();
    const int height = info.value("height").toInt();
    const int stride = info.value("stride").toInt();
    const auto format = static_cast<QImage::Format>(info.value("format").toInt());
    if (width <= 0 || height <= 0 || data.size() < qsizetype(stride) * height) {
        fail("CaptureWorkspace gave " + std::to_string(data.size()) + " bytes for " +
             std::to_string(width) + "x" + std::to_string(height));
        return {};
    }
    const QImage image(reinterpret_cast<const uchar*>(data.constData()), width, height, stride,
                       format);
    return image.convertToFormat(QImage::Format_RGB32);
}

int screenshot(const QString& file) {
    const QImage image = capture();
    if (image.isNull()) {
        return 1;
    }
    if (!image.save(file)) {
        return fail("cannot write " + file.toStdString());
    }
    return 0;
}

// Mean saturation (0-255) of the first screen's middle, where a test clip's
// colour bars are bright and Plasma's own pictures and black are not.
int middleSaturation(const QImage& image) {
    long long sum = 0;
    long long count = 0;
    for (int y = 100; y < 500 && y < image.height(); y += 4) {
        for (int x = 240; x < 1040 && x < image.width(); x += 4) {
            sum += QColor(image.pixel(x, y)).hslSaturation();
            ++count;
        }
    }
    return count > 0 ? static_cast<int>(sum / count) : 0;
}

// Captures until the middle of the first screen is saturated (a test clip is
// on screen); prints the milliseconds that took.
int waitForVideo(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QImage image = capture();
        if (!image.isNull() && middleSaturation(image) > 100) {
            std::cout << clock.elapsed() << "\n";
            return 0;
        }
    }
    return fail("no video within " + std::to_string(timeoutMs) + " ms");
}

struct Globals {
    org_kde_kwin_fake_input* input = nullptr;
};

void addGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3) {
        static_cast<Globals*>(data)->input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3));
    }
}
void removeGlobal(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {addGlobal, removeGlobal};

int click(double x, double y, int count) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return fail("no Wayland display");
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.input == nullptr) {
        wl_display_disconnect(display);
        return fail("the compositor offers no org_kde_kwin_fake_input (version 3)");
    }
    org_kde_kwin_fake_input_authenticate(globals.input, "plasma-bed", "end-to-end tests");
    org_kde_kwin_fake_input_pointer_motion_absolute(globals.input, wl_fixed_from_double(x),
                                                    wl_fixed_from_double(y));
    wl_display_roundtrip(display);
    for (int i = 0; i < count; ++i) {
        org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        wl_display_roundtrip(display);
        org_kde_kwin_fake_input_button(globals.input, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        wl_display_roundtrip(display);
        // Apart enough not to make a double click.
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    org_kde_kwin_fake_input_destroy(globals.input);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}

// A window that covers the desktop, as an application would.
class CoverWindow : public QRasterWindow {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkGray);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "window") == 0) {
        QGuiApplication app(argc, argv);
        CoverWindow window;
        window.setTitle("plasma-bed cover");
        if (std::strcmp(argv[2], "full") == 0) {
            window.showFullScreen();
        } else {
            window.showMaximized();
        }
        return QGuiApplication::exec();
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "screenshot") {
        return screenshot(args[2]);
    }
    if (args.size() == 3 && args[1] == "wait-video") {
        return waitForVideo(args[2].toInt());
    }
    if ((args.size() == 4 || args.size() == 5) && args[1] == "click") {
        return click(args[2].toDouble(), args[3].toDouble(),
                     args.size() == 5 ? args[4].toInt() : 1);
    }
    std::cerr << "usage: plasma-bed screenshot FILE.png | click X Y [N] | window full|max | "
                 "wait-video MS\n";
    return 2;
}
