#pragma once

#include <memory>
#include <string>

namespace lumivo {

// The Qt application object of a test program (QCoreApplication or
// QApplication) named `name`: made in SetUpTestSuite, reset in
// TearDownTestSuite. One at a time, as Qt allows.
template <typename Application>
std::unique_ptr<Application> makeTestApplication(const char* name) {
    // Qt reads argc and argv for as long as the application lives.
    static std::string program;
    static int argc = 1;
    static char* argv[2] = {};
    program = name;
    argv[0] = program.data();
    return std::make_unique<Application>(argc, argv);
}

}  // namespace lumivo
