#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <vector>

#include "FileDescriptor.hpp"

namespace lumivo {

// Delivers SIGTERM, SIGINT and SIGHUP to the GUI thread's event loop: the
// handler only writes the signal's number to a pipe, whose reading end a
// QSocketNotifier watches. A signal that the helper inherited as ignored
// stays ignored. At most one instance at a time; the destructor restores the
// default handling.
class TerminationSignals {
  public:
    // `received` runs on the GUI thread with the signal's number. Should the
    // pipe fail (no file descriptors left), the signals keep their default.
    explicit TerminationSignals(std::function<void(int signal)> received);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void readSignals();

    std::function<void(int)> received_;
    FileDescriptor readEnd_;
    FileDescriptor writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<int> handled_;
};

}  // namespace lumivo
