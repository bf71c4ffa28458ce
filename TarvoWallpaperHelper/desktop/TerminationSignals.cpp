#include "TerminationSignals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace lumivo {

namespace {

constexpr std::array handledSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end for the handler; -1 while no instance exists.
volatile sig_atomic_t signalPipe = -1;

extern "C" void onSignal(int signal) {
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const auto written = ::write(signalPipe, &number, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> received)
    : received_(std::move(received)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readEnd_ = FileDescriptor(ends[0]);
    writeEnd_ = FileDescriptor(ends[1]);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { readSignals(); });
    signalPipe = writeEnd_.get();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals) {
        struct sigaction previous {};
        ::sigaction(signal, nullptr, &previous);
        // A signal ignored by whoever started the helper (nohup, a background
        // job of a script) stays ignored.
        if (previous.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
            handled_.push_back(signal);
        }
    }
}

TerminationSignals::~TerminationSignals() {
    for (const int signal : handled_) {
        ::signal(signal, SIG_DFL);
    }
    signalPipe = -1;
}

void TerminationSignals::readSignals() {
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(readEnd_.get(), numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            received_(numbers[i]);
        }
    }
}

}  // namespace lumivo
