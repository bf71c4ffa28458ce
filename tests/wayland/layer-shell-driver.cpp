// Shows a moving test pattern on every output through LayerShellOutputs, for
// tests/wayland/layer-shell.sh. The pattern is 320x180: a red band down the
// left edge, a green band down the right, and a white bar moving across.
// Each output shows it aspect-filled (centre crop).
//
// Line commands on stdin, answered "ok ..." (or "error ..."):
//   outputs    ok NAME:WxH ...   (the outputs showing the wallpaper)
//   frames     ok NAME:N ...     (frames presented per output so far)
//   ping       ok
// Events on stdout: "changed NAME:WxH ...", "log LINE". Ends at end of input.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HelperError.hpp"
#include "LayerShellOutputs.hpp"

using namespace lumivo;

namespace {

constexpr int patternWidth = 320, patternHeight = 180;

FrameCrop aspectFill(int frameWidth, int frameHeight, int width, int height) {
    // Keep the frame's full height when the output is narrower, else its width.
    if (static_cast<int64_t>(width) * frameHeight < static_cast<int64_t>(frameWidth) * height) {
        int w = static_cast<int>(static_cast<int64_t>(frameHeight) * width / height);
        return {(frameWidth - w) / 2, 0, w, frameHeight};
    }
    int h = static_cast<int>(static_cast<int64_t>(frameWidth) * height / width);
    return {0, (frameHeight - h) / 2, frameWidth, h};
}

void drawPattern(std::vector<uint32_t>& pixels, qint64 ms) {
    const int bar = static_cast<int>(ms / 8 % patternWidth);
    for (int y = 0; y < patternHeight; ++y) {
        for (int x = 0; x < patternWidth; ++x) {
            uint32_t colour = 0xff000040 + static_cast<uint32_t>(y);  // dark blue rows
            if (x < 16) {
                colour = 0xffff0000;
            } else if (x >= patternWidth - 16) {
                colour = 0xff00ff00;
            } else if (x >= bar && x < bar + 12) {
                colour = 0xffffffff;
            }
            pixels[y * patternWidth + x] = colour;
        }
    }
}

std::string describe(const std::vector<FrameOutputs::Output>& outputs) {
    std::ostringstream out;
    for (const auto& o : outputs) {
        out << " " << o.name << ":" << o.width << "x" << o.height;
    }
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::unique_ptr<LayerShellOutputs> outputs;
    try {
        outputs = std::make_unique<LayerShellOutputs>();
    } catch (const HelperError& error) {
        std::cout << "error " << error.what() << std::endl;
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<uint32_t> pixels(patternWidth * patternHeight);
    qint64 drawnAt = -1;
    std::map<std::string, int> frames;
    std::string lastChange;

    outputs->log = [](const std::string& line) { std::cout << "log " << line << std::endl; };
    outputs->outputsChanged = [&] {
        std::string now = describe(outputs->outputs());
        if (now != lastChange) {
            lastChange = now;
            std::cout << "changed" << now << std::endl;
        }
    };
    outputs->frameWanted = [&](const std::string& name) {
        if (clock.elapsed() != drawnAt) {
            drawnAt = clock.elapsed();
            drawPattern(pixels, drawnAt);
        }
        for (const auto& o : outputs->outputs()) {
            if (o.name == name) {
                SoftwareFrame frame{reinterpret_cast<const uint8_t*>(pixels.data()), patternWidth,
                                    patternHeight, patternWidth * 4u};
                outputs->present(name, frame,
                                 aspectFill(patternWidth, patternHeight, o.width, o.height));
                ++frames[name];
            }
        }
    };

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string buffered;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        buffered.append(chunk, static_cast<size_t>(n));
        for (size_t end; (end = buffered.find('\n')) != std::string::npos;) {
            std::string line = buffered.substr(0, end);
            buffered.erase(0, end + 1);
            if (line == "ping") {
                std::cout << "ok" << std::endl;
            } else if (line == "outputs") {
                std::cout << "ok" << describe(outputs->outputs()) << std::endl;
            } else if (line == "frames") {
                std::cout << "ok";
                for (const auto& [name, count] : frames) {
                    std::cout << " " << name << ":" << count;
                }
                std::cout << std::endl;
            } else {
                std::cout << "error unknown command " << line << std::endl;
            }
        }
    });
    return app.exec();
}
