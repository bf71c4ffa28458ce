// lumivo-helper-app: the tray helper, started by the lumivo-helper launcher
// when no helper runs on this session. Should another helper win the race for
// the bus name meanwhile, it hands its URL over to that one and exits.
#include <malloc.h>

#include <QApplication>
#include <iostream>
#include <memory>
#include <string_view>

#include "AppDelegate.hpp"
#include "BusDisconnection.hpp"
#include "CommandLine.hpp"
#include "GraphicalSession.hpp"
#include "HandOver.hpp"
#include "HelperBusService.hpp"
#include "HelperConstants.hpp"
#include "HelperError.hpp"
#include "HelperLocations.hpp"
#include "NumericLocale.hpp"
#include "StandardPlatform.hpp"
#include "SystemLog.hpp"
#include "TerminationSignals.hpp"

static_assert(std::string_view(LUMIVO_PROJECT_ROOT).empty() || LUMIVO_PROJECT_ROOT[0] == '/',
              "LUMIVO_PROJECT_ROOT is empty or an absolute path");

using lumivo::CommandLine;
using lumivo::HandOver;

namespace {

// Passes the command to the helper that runs already. Returns the exit status,
// or nothing when no helper runs.
std::optional<int> handOver(const CommandLine& command) {
    std::string error;
    const auto result =
        command.url ? HandOver::openURL(*command.url, error) : HandOver::activate(error);
    switch (result) {
        case HandOver::Result::delivered:
            return 0;
        case HandOver::Result::noHelper:
            return std::nullopt;
        case HandOver::Result::failed:
            std::cerr << "lumivo-helper: cannot reach the running helper: " << error << "\n";
            return 1;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Buffers of 256 KiB and up (decoded frames) are unmapped when freed; glibc's
    // adaptive threshold would keep ~50 MiB of them in arenas after a wallpaper stops.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // One heap for every thread. glibc would give mpv's threads arenas of their
    // own, and malloc_trim() never releases the free top of such an arena: what
    // the last wallpaper's threads freed there stayed resident, 2 to 7 MiB after
    // each stop depending on which arenas its threads drew.
    mallopt(M_ARENA_MAX, 1);
    const auto command = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = command.answerWithoutRunning(lumivo::HelperConstants::version())) {
        return *status;
    }

    // Exits with a clear line when there is no display to run on.
    const auto application = lumivo::GraphicalSession::open(argc, argv);
    lumivo::useCNumericLocale();
    QApplication::setApplicationName("Lumivo Helper");
    QApplication::setApplicationDisplayName("Lumivo Helper");
    QApplication::setQuitOnLastWindowClosed(false);

    // The developer checkout a development build names; empty in a package.
    const auto locations = lumivo::HelperLocations::fromProjectRoot(LUMIVO_PROJECT_ROOT);
    std::unique_ptr<lumivo::AppDelegate> delegate;
    try {
        delegate = std::make_unique<lumivo::AppDelegate>(
            locations, lumivo::StandardPlatform::sources(),
            lumivo::StandardPlatform::platform(command.autostart));
    } catch (const std::exception& e) {
        lumivo::SystemLog().log("Cannot start: " + lumivo::localizedDescription(e));
        return 1;
    }

    std::string error;
    switch (lumivo::HelperBusService::claim(*delegate, *delegate, error)) {
        case lumivo::HelperBusService::Claim::owned:
            break;
        case lumivo::HelperBusService::Claim::ownedByAnother:
            // Another helper won the race for the name: it gets the command.
            delegate.reset();
            return handOver(command).value_or(1);
        case lumivo::HelperBusService::Claim::failed:
            std::cerr << lumivo::logPrefix
                      << "Session bus unavailable, lumivo:// URLs cannot reach this helper: "
                      << error << "\n";
            break;
    }

    QObject::connect(application.get(), &QCoreApplication::aboutToQuit, delegate.get(),
                     [&delegate] { delegate->applicationWillTerminate(); });
    // Ended from outside (a signal, the session bus gone): as Quit Helper.
    lumivo::TerminationSignals endSignals([&delegate](int) { delegate->quit(); });
    lumivo::BusDisconnection busGone([&delegate] { delegate->quit(); });
    delegate->applicationDidFinishLaunching(command.autostart);
    if (command.url) {
        delegate->handleURLEvent(*command.url);
    } else {
        delegate->restoreLastWallpaper();
    }
    // Returning destroys the delegate, which waits for the cancelled work.
    return QApplication::exec();
}
