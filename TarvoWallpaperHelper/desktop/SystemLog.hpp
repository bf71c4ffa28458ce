#pragma once

#include "Logging.hpp"

namespace lumivo {

// Writes each line to syslog (ident "lumivo-helper", facility user, level
// notice) and mirrors it to stderr. Lines are passed as data, never as a
// format, so '%' in a title or path is written as is.
class SystemLog : public Logging {
  public:
    SystemLog();
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void write(const std::string& line) override;
};

}  // namespace lumivo
