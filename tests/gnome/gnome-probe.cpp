// What the helper sees of GNOME Shell, for tests/gnome: prints "shell
// running|absent", "extension absent|disabled|enabled|failed" and one line
// "monitor X Y WIDTH HEIGHT covered|visible" per monitor the extension
// reports, then opens the backend the session offers as the helper would and
// prints "backend OK" or "backend error MESSAGE".
//
//   gnome-probe [--wait-monitors SECONDS]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>
#include <iostream>
#include <string>

#include "GnomeDesktopShell.hpp"
#include "GnomeShellIntegration.hpp"
#include "SessionOutputs.hpp"
#include "UserSettings.hpp"

using namespace lumivo;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto shellOwned = std::make_shared<GnomeShellIntegration>(QDBusConnection::sessionBus());
    GnomeShellIntegration& shell = *shellOwned;
    const int wait = argc > 2 && std::string(argv[1]) == "--wait-monitors" ? std::stoi(argv[2]) : 1;
    QTest::qWait(wait * 1000);
    const char* names[] = {"absent", "disabled", "enabled", "failed"};
    std::cout << "shell " << (shell.shellRunning() ? "running" : "absent") << "\n";
    std::cout << "extension " << names[static_cast<int>(shell.status())] << "\n";
    for (const ShellMonitor& m : shell.monitors()) {
        std::cout << "monitor " << m.geometry.x << " " << m.geometry.y << " " << m.geometry.width
                  << " " << m.geometry.height << " " << (m.covered ? "covered" : "visible") << "\n";
    }
    UserSettings settings([](const std::string& line) { std::cout << "log " << line << "\n"; });
    SessionOutputs outputs(
        {}, [](const std::string& line) { std::cout << "log " << line << "\n"; }, settings,
        gnomeDesktopShell(shellOwned));
    try {
        auto opened = outputs.open();
        std::cout << "backend OK " << opened->monitors().size() << " monitors" << std::endl;
    } catch (const std::exception& error) {
        std::cout << "backend error " << error.what() << std::endl;
    }
    return 0;
}
