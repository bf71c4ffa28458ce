#include <iostream>
#include <string>
#include <vector>

#include "Commands.hpp"
#include "HelperConstants.hpp"
#include "HugePageHeap.hpp"

namespace {

constexpr const char* usage =
    "Usage: lumivo <command> [arguments]\n"
    "\n"
    "Commands:\n"
    "  manifest check <path-or-url>         validate a wallpaper manifest\n"
    "  manifest lookup <path-or-url> <id>   print one record as JSON\n"
    "  fetch --manifest <path-or-url> [--allow-host HOST]... [--cache-dir DIR] <id>\n"
    "                                       download and verify a wallpaper into the cache\n"
    "  cache list [--cache-dir DIR]         list the cached wallpapers, their sizes and last use\n"
    "  cache prune [--cache-dir DIR] [--limit-mib N]\n"
    "                                       remove the least recently applied wallpapers\n"
    "                                       until the cache fits N MiB (default 2048)\n"
    "\n"
    "A bare path names a local file; https:// and file:// URLs are read as such.\n"
    "Options: --help, --version\n";

int run(std::vector<std::string> args) {
    if (args.empty()) {
        std::cerr << usage;
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << usage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "lumivo " << lumivo::HelperConstants::version() << "\n";
        return 0;
    }
    if (command == "manifest") {
        return lumivo::cli::manifestCommand(args);
    }
    if (command == "fetch") {
        return lumivo::cli::fetchCommand(args);
    }
    if (command == "cache") {
        return lumivo::cli::cacheCommand(args);
    }
    std::cerr << "lumivo: unknown command '" << command << "'\n\n" << usage;
    return 2;
}

}  // namespace

// Every command reports its own failures; this is the last line of defence,
// so that no failure ends the tool with an abort instead of a message.
int main(int argc, char** argv) {
    lumivo::cli::reserveHugePageHeap(96 << 20);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "lumivo: " << error.what() << "\n";
    } catch (...) {
        std::cerr << "lumivo: unexpected failure\n";
    }
    return 1;
}
