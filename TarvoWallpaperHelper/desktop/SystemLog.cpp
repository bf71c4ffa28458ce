#include "SystemLog.hpp"

#include <syslog.h>

#include <cstdio>

namespace lumivo {

SystemLog::SystemLog() {
    openlog("lumivo-helper", LOG_PID, LOG_USER);
}

SystemLog::~SystemLog() {
    closelog();
}

void SystemLog::write(const std::string& line) {
    syslog(LOG_NOTICE, "%s", line.c_str());
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace lumivo
