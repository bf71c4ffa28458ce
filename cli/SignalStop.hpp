#pragma once

#include <stop_token>
#include <thread>

namespace lumivo::cli {

// While it lives, SIGINT, SIGTERM or SIGHUP requests a stop on the given
// source, so that the transfer or digest in progress ends through its normal
// failure path; a second signal then has the signal's default effect at once.
// A stop request is not safe inside a signal handler, so the handler only
// wakes a small thread that requests it. One instance at a time per process.
class SignalStop {
  public:
    explicit SignalStop(std::stop_source source);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // Whether one of the signals arrived, even when the stop it requests
    // found nothing left to end.
    static bool interrupted();

  private:
    std::thread watcher_;
};

}  // namespace lumivo::cli
