#include "SignalStop.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <system_error>

namespace lumivo::cli {

namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char stopByte = 's';
constexpr char doneByte = 'd';

std::atomic<bool> signalled{false};
// The handler's end of the pipe to the watcher thread.
std::atomic<int> handlerEnd{-1};

// The pipe from the handler to the watcher thread, made once and never closed:
// a handler still running on another thread while a SignalStop goes must not
// write to a descriptor that was closed and handed out again.
struct SignalPipe {
    int readEnd = -1;
    int writeEnd = -1;
};

const SignalPipe& signalPipe() {
    static const SignalPipe pipe = [] {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            throw std::system_error(errno, std::generic_category(), "lumivo: cannot watch signals");
        }
        return SignalPipe{ends[0], ends[1]};
    }();
    return pipe;
}

void send(int fd, char byte) {
    while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

extern "C" void onStopSignal(int signal) {
    if (signalled.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    const int savedErrno = errno;
    send(handlerEnd.load(), stopByte);
    errno = savedErrno;
}

}  // namespace

SignalStop::SignalStop(std::stop_source source) {
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
    const SignalPipe& pipe = signalPipe();
    watcher_ = std::thread([readEnd = pipe.readEnd, source = std::move(source)]() mutable {
        for (;;) {
            char byte = 0;
            const ssize_t got = ::read(readEnd, &byte, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0 || byte == doneByte) {
                return;
            }
            source.request_stop();
        }
    });
    signalled.store(false);
    handlerEnd.store(pipe.writeEnd);
    for (const int signal : stopSignals) {
        std::signal(signal, onStopSignal);
    }
}

SignalStop::~SignalStop() {
    for (const int signal : stopSignals) {
        std::signal(signal, SIG_DFL);
    }
    // After any stop byte a signal wrote, so the watcher has seen it by then.
    send(signalPipe().writeEnd, doneByte);
    watcher_.join();
}

bool SignalStop::interrupted() {
    return signalled.load();
}

}  // namespace lumivo::cli
