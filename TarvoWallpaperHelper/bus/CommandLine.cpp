#include "CommandLine.hpp"

#include <iostream>

namespace lumivo {

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
    CommandLine result;
    bool optionsEnded = false;
    for (const auto& arg : args) {
        if (optionsEnded) {
            if (result.url) {
                return CommandLine{Mode::usageError, std::nullopt, "only one URL may be given"};
            }
            result.url = arg;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            return CommandLine{Mode::help, std::nullopt, {}};
        }
        if (arg == "--version") {
            return CommandLine{Mode::version, std::nullopt, {}};
        }
        if (arg == "--gapplication-service") {
            continue;
        }
        if (arg == "--autostart") {
            result.autostart = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg.starts_with("-") && arg.size() > 1) {
            return CommandLine{Mode::usageError, std::nullopt, "unknown option " + arg};
        }
        if (result.url) {
            return CommandLine{Mode::usageError, std::nullopt, "only one URL may be given"};
        }
        result.url = arg;
    }
    return result;
}

const char* CommandLine::usage() {
    return "Usage: lumivo-helper [lumivo://apply/<id> | lumivo://ping | lumivo://stop]\n"
           "\n"
           "Starts the Lumivo Helper tray application, or hands the command URL to the\n"
           "one already running on this session.\n"
           "\n"
           "Options:\n"
           "  -h, --help               show this help and exit\n"
           "  --version                show the version and exit\n"
           "  --autostart              start with the session: no welcome, restore the\n"
           "                           last wallpaper (used by the autostart entry)\n"
           "  --gapplication-service   start without a URL (used by D-Bus activation)\n";
}

std::optional<int> CommandLine::answerWithoutRunning(std::string_view version) const {
    switch (mode) {
        case Mode::help:
            std::cout << usage();
            return 0;
        case Mode::version:
            std::cout << "lumivo-helper " << version << "\n";
            return 0;
        case Mode::usageError:
            std::cerr << "lumivo-helper: " << error << "\n\n" << usage();
            return 2;
        case Mode::run:
            break;
    }
    return std::nullopt;
}

}  // namespace lumivo
