#pragma once

#include <string>
#include <string_view>

#include "LogText.hpp"

namespace lumivo {

// What every line of the helper's log begins with.
inline constexpr std::string_view logPrefix = "[LumivoHelper] ";

// Where the helper's log lines go. A line is written exactly as given: no
// formatting directive in it is interpreted. Called on the GUI thread only.
class Logging {
  public:
    virtual ~Logging() = default;
    virtual void write(const std::string& line) = 0;
    // Writes `message` as one line behind the log prefix, with control
    // characters and ill-formed UTF-8 escaped, so one event is one line.
    void log(std::string_view message) {
        write(escapedLogText(std::string(logPrefix).append(message)));
    }
};

}  // namespace lumivo
