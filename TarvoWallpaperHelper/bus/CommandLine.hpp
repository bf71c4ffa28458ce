#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivo {

// What the helper was started to do, read from its arguments before any
// connection to the display or the session bus is made.
struct CommandLine {
    enum class Mode { run, help, version, usageError };

    Mode mode = Mode::run;
    // The command URL to carry out, when one was given.
    std::optional<std::string> url;
    // Set for usageError.
    std::string error;
    // Started by the session's autostart entry (--autostart): no welcome.
    bool autostart = false;

    // `args` excludes the program name. Accepts at most one URL, --help/-h,
    // --version, --autostart, and --gapplication-service (a start by D-Bus
    // activation, which is a plain start without a URL).
    static CommandLine parse(const std::vector<std::string>& args);
    static const char* usage();

    // Answers --help, --version and usage errors on stdout/stderr and returns
    // the exit status; absent when the helper should run.
    std::optional<int> answerWithoutRunning(std::string_view version) const;
};

}  // namespace lumivo
