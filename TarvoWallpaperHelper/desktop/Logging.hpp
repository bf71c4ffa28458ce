#pragma once

#include <string>

namespace lumivo {

// Where the helper's log lines go. A line is written exactly as given: no
// formatting directive in it is interpreted. Called on the GUI thread only.
class Logging {
  public:
    virtual ~Logging() = default;
    virtual void write(const std::string& line) = 0;
};

}  // namespace lumivo
