#pragma once

#include <QApplication>
#include <memory>
#include <string>

namespace lumivo {

// The Qt application on the session's display. Qt ends a process whose
// platform plugin cannot open a display with abort() (a core dump on many
// machines); a start through open() instead logs one line, "Cannot start: no
// graphical session was found ...", and exits with status 1. Qt's messages of
// a start that works are passed on unchanged once the application exists.
class GraphicalSession {
  public:
    // Builds the application; does not return when no display can be opened.
    // `argc` must outlive the application (QApplication keeps a reference).
    static std::unique_ptr<QApplication> open(int& argc, char** argv);
    // Why no display could be opened, naming the display variables set, for
    // example "no graphical session was found: DISPLAY=:7 cannot be opened".
    static std::string failure();
};

}  // namespace lumivo
