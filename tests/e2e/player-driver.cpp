// Drives one WallpaperPlayer from line commands on standard input, for the
// end-to-end tests and the playback benchmarks, on X11 or Wayland as the
// helper would choose.
//
//   player-driver [--helper-name]
// --helper-name owns the helper's bus name first, as the helper does: GNOME
// Shell's extension takes only that name's owner's windows as the wallpaper.
//
//   start <path>        -> ok | error <message>
//   stop                -> ok <milliseconds the stop took>
//   on <monitor> <path> -> ok <monitor it plays on> | ok everywhere | error <message>
//                          (startOn: one monitor's own video in mode each)
//   mode all|span|main|each -> ok (the screen mode, also while playing)
//   pause yes|no        -> ok
//   cover <monitor> yes|no -> ok
//   shown               -> ok [<monitor>=<w>x<h>+<x>+<y> ...] (monitors shown on)
//   frames              -> ok <frames drawn since the last start>
//   quit (or EOF)       -> ok, then the player stops and the program exits
//
// Between answers it prints what the player reports, as it happens:
//   event first-frame <milliseconds since the last start>
//   event failed <mpv's reason>
//   event note <message for the log>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdio>
#include <string>

#include "BusNames.hpp"
#include "GnomeDesktopShell.hpp"
#include "HelperError.hpp"
#include "NumericLocale.hpp"
#include "SessionOutputs.hpp"
#include "UserSettings.hpp"
#include "WallpaperPlayer.hpp"

namespace {

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

class Driver {
  public:
    Driver() {
        QObject::connect(&player_, &lumivo::WallpaperPlayer::firstFrameShown, [this] {
            say("event first-frame " + std::to_string(sinceStart_.nsecsElapsed() / 1e6));
        });
        QObject::connect(
            &player_, &lumivo::WallpaperPlayer::playbackFailed,
            [](const QString& reason) { say("event failed " + reason.toStdString()); });
        QObject::connect(&player_, &lumivo::WallpaperPlayer::noted, [](const QString& message) {
            say("event note " + message.toStdString());
        });
    }

    void obey(const std::string& line) {
        if (line.rfind("start ", 0) == 0) {
            sinceStart_.start();
            try {
                player_.start(line.substr(6));
                say("ok");
            } catch (const std::exception& error) {
                say("error " + lumivo::localizedDescription(error));
            }
        } else if (line.rfind("on ", 0) == 0 && line.find(' ', 3) != std::string::npos) {
            const auto space = line.find(' ', 3);
            sinceStart_.start();
            try {
                const auto landed =
                    player_.startOn(line.substr(space + 1), line.substr(3, space - 3));
                say("ok " + landed.value_or("everywhere"));
            } catch (const std::exception& error) {
                say("error " + lumivo::localizedDescription(error));
            }
        } else if (line == "stop") {
            QElapsedTimer took;
            took.start();
            player_.stop();
            say("ok " + std::to_string(took.nsecsElapsed() / 1e6));
        } else if (line.rfind("mode ", 0) == 0) {
            const auto mode = lumivo::screenModeFromKey(line.substr(5));
            if (mode) {
                player_.setScreenMode(*mode);
            }
            say(mode ? "ok" : "error unknown mode");
        } else if (line == "pause yes" || line == "pause no") {
            player_.setPaused(line == "pause yes");
            say("ok");
        } else if (line.rfind("cover ", 0) == 0 && line.find(' ', 6) != std::string::npos) {
            const auto space = line.rfind(' ');
            player_.setCovered(line.substr(6, space - 6), line.substr(space + 1) == "yes");
            say("ok");
        } else if (line == "shown") {
            std::string answer = "ok";
            for (const auto& m : player_.shownMonitors()) {
                const auto& g = m.geometry;
                answer += " " + m.name + "=" + std::to_string(g.width) + "x" +
                          std::to_string(g.height) + "+" + std::to_string(g.x) + "+" +
                          std::to_string(g.y);
            }
            say(answer);
        } else if (line == "frames") {
            say("ok " + std::to_string(player_.framesDrawn()));
        } else if (line == "quit") {
            say("ok");
            QApplication::quit();
        } else if (!line.empty()) {
            say("error unknown command: " + line);
        }
    }

  private:
    // The helper's choice of display backend, as the helper makes it; Plasma's
    // desktops replaced are remembered in the user's settings, as the helper's.
    lumivo::UserSettings settings_{[](const std::string& line) { say("event note " + line); }};
    lumivo::SessionOutputs outputs_{
        [] { return std::string(); }, [](const std::string& line) { say("event note " + line); },
        settings_,
        lumivo::gnomeDesktopShell(
            std::make_shared<lumivo::GnomeShellIntegration>(QDBusConnection::sessionBus()))};
    lumivo::WallpaperPlayer player_{[this] { return outputs_.open(); }};
    QElapsedTimer sinceStart_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    lumivo::useCNumericLocale();
    if (QApplication::arguments().contains(QStringLiteral("--helper-name")) &&
        !QDBusConnection::sessionBus().registerService(lumivo::BusNames::serviceName)) {
        say("error the helper's bus name is taken");
        return 1;
    }
    Driver driver;
    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            QApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            driver.obey(line);
        }
    });
    return app.exec();
}
