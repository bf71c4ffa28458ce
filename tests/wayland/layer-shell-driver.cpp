// Plays a moving test pattern through LayerShellOutputs the way the player's
// software path does (a canvas per monitor, or one spanning them all, each
// output showing its part), for tests/wayland/layer-shell.sh. The pattern is
// 320x180 with a red band down its left edge, a green one down its right and
// a white bar moving across, aspect-filled into each canvas.
//
//   layer-shell-driver [each|span]
// Line commands on stdin, answered "ok ..." (or "error ..."):
//   outputs    ok NAME:WxH ...   (the monitors)
//   frames     ok NAME:N ...     (frames presented per monitor so far)
//   hidden     ok NAME:0|1 ...   (whether the backend counts the output as hidden)
//   ping       ok
// Events on stdout: "changed NAME:WxH ..." when the monitors change, and
// "lost REASON". Ends at end of input.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
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

uint32_t patternAt(int x, int y, int bar) {
    if (x < 16) {
        return 0xffff0000;
    }
    if (x >= patternWidth - 16) {
        return 0xff00ff00;
    }
    if (x >= bar && x < bar + 12) {
        return 0xffffffff;
    }
    return 0xff000040 + static_cast<uint32_t>(y);
}

// Nearest-neighbour aspect-fill of the pattern into a canvas.
void paint(uint8_t* pixels, int width, int height, std::size_t stride, qint64 ms) {
    const int bar = static_cast<int>(ms / 8 % patternWidth);
    int cropW = patternWidth, cropH = patternHeight;
    if (static_cast<int64_t>(width) * patternHeight < static_cast<int64_t>(patternWidth) * height) {
        cropW = static_cast<int>(static_cast<int64_t>(patternHeight) * width / height);
    } else {
        cropH = static_cast<int>(static_cast<int64_t>(patternWidth) * height / width);
    }
    const int left = (patternWidth - cropW) / 2, top = (patternHeight - cropH) / 2;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + y * stride);
        const int py = top + static_cast<int>(static_cast<int64_t>(y) * cropH / height);
        for (int x = 0; x < width; ++x) {
            row[x] = patternAt(left + static_cast<int>(static_cast<int64_t>(x) * cropW / width), py,
                               bar);
        }
    }
}

std::string describe(const std::vector<Monitor>& monitors) {
    std::ostringstream out;
    for (const auto& m : monitors) {
        out << " " << m.name << ":" << m.geometry.width << "x" << m.geometry.height;
    }
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool span = argc > 1 && std::string(argv[1]) == "span";
    std::unique_ptr<LayerShellOutputs> outputs;
    try {
        outputs = std::make_unique<LayerShellOutputs>();
    } catch (const HelperError& error) {
        std::cout << "error " << error.what() << std::endl;
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<Monitor> monitors;
    std::vector<Output*> shown;
    std::vector<std::unique_ptr<FrameBuffer>> canvases;
    std::vector<std::size_t> canvasOf;
    std::vector<Rect> sources;
    std::map<std::string, int> frames;

    // New pictures at 30 a second, as a video brings them, while there is
    // an output to show them on.
    QTimer frames30;
    frames30.setInterval(33);
    auto relayout = [&] {
        monitors = outputs->monitors();
        if (monitors.empty()) {
            frames30.stop();
        } else if (!frames30.isActive()) {
            frames30.start();
        }
        std::vector<std::size_t> all(monitors.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i] = i;
        }
        shown = outputs->showOn(all);
        canvases.clear();
        canvasOf.clear();
        sources.clear();
        Rect box;
        for (const auto& m : monitors) {
            box.width = std::max(box.width, m.geometry.x + m.geometry.width);
            box.height = std::max(box.height, m.geometry.y + m.geometry.height);
        }
        if (span && !monitors.empty()) {
            canvases.push_back(outputs->createFrameBuffer(box.width, box.height));
        }
        for (const auto& m : monitors) {
            if (span) {
                canvasOf.push_back(0);
                sources.push_back(m.geometry);
            } else {
                canvasOf.push_back(canvases.size());
                canvases.push_back(outputs->createFrameBuffer(m.geometry.width, m.geometry.height));
                sources.push_back({0, 0, m.geometry.width, m.geometry.height});
            }
        }
        std::cout << "changed" << describe(monitors) << std::endl;
    };
    auto draw = [&] {
        for (std::size_t c = 0; c < canvases.size(); ++c) {
            bool wanted = false;
            for (std::size_t i = 0; i < shown.size(); ++i) {
                wanted = wanted || (canvasOf[i] == c && shown[i]->ready());
            }
            if (!wanted) {
                continue;
            }
            auto& canvas = *canvases[c];
            paint(canvas.acquire(), canvas.width(), canvas.height(), canvas.stride(),
                  clock.elapsed());
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (canvasOf[i] == c && shown[i]->ready()) {
                    canvas.present(*shown[i], sources[i]);
                    ++frames[monitors[i].name];
                }
            }
        }
    };
    QObject::connect(outputs.get(), &Outputs::monitorsChanged, &app, relayout,
                     Qt::QueuedConnection);
    QObject::connect(outputs.get(), &Outputs::redrawNeeded, &app, draw);
    QObject::connect(&frames30, &QTimer::timeout, &app, draw);
    QObject::connect(outputs.get(), &Outputs::lost, &app, [](const QString& reason) {
        std::cout << "lost " << reason.toStdString() << std::endl;
    });
    relayout();

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
                std::cout << "ok" << describe(outputs->monitors()) << std::endl;
            } else if (line == "hidden") {
                const std::vector<bool> hidden = outputs->hidden();
                std::cout << "ok";
                for (std::size_t i = 0; i < shown.size() && i < hidden.size(); ++i) {
                    std::cout << " " << monitors[i].name << ":" << hidden[i];
                }
                std::cout << std::endl;
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
