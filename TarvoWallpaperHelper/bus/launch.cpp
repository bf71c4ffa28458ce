// lumivo-helper: hands a command to the helper running on this session, or
// becomes it by executing the Qt helper (lumivo-helper-app) with the same
// arguments. Links neither Qt nor libmpv, so a hand-over costs milliseconds.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "CommandLine.hpp"
#include "HandOver.hpp"

namespace {

namespace fs = std::filesystem;

// "<this program>-app" beside this program (a build tree) or in ../libexec
// (an installation).
fs::path helperApp() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const std::string name = self.filename().string() + "-app";
    for (const auto& candidate :
         {self.parent_path() / name, self.parent_path().parent_path() / "libexec" / name}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return self.parent_path() / name;
}

}  // namespace

int main(int argc, char** argv) {
    using lumivo::CommandLine;
    using lumivo::HandOver;
    const auto command = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = command.answerWithoutRunning(LUMIVO_VERSION)) {
        return *status;
    }
    std::string error;
    const auto result =
        command.url ? HandOver::openURL(*command.url, error) : HandOver::activate(error);
    if (result == HandOver::Result::delivered) {
        return 0;
    }
    if (result == HandOver::Result::failed) {
        std::cerr << "lumivo-helper: cannot reach the running helper: " << error << "\n";
        return 1;
    }
    const fs::path app = helperApp();
    ::execv(app.c_str(), argv);
    std::cerr << "lumivo-helper: cannot start " << app << ": " << std::strerror(errno) << "\n";
    return 1;
}
