#pragma once

#include <QMetaObject>
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

#include "Outcome.hpp"

namespace lumivo {

// One background thread for the blocking steps of a command (manifest reads,
// downloads, hashing, file checks), so the GUI event loop stays live. Jobs run
// one at a time in the order posted. The destructor lets the running job end
// and drops the ones not yet started. post() is thread-safe.
class BlockingWorker {
  public:
    BlockingWorker();
    ~BlockingWorker();
    BlockingWorker(const BlockingWorker&) = delete;
    BlockingWorker& operator=(const BlockingWorker&) = delete;

    void post(std::function<void()> job);
    // Waits until no job runs or waits; returns false when `limit` ran out first.
    bool waitIdle(std::chrono::milliseconds limit);

    // Runs `step` on this worker and hands its Outcome to `then` on the thread
    // of `context` through its event loop. `context` must outlive the worker.
    template <typename Step, typename Then>
    void run(QObject* context, Step step, Then then) {
        using Value = std::invoke_result_t<Step&>;
        post([context, step = std::move(step), then = std::move(then)]() mutable {
            auto outcome = Outcome<Value>::capture(step);
            QMetaObject::invokeMethod(
                context,
                [then = std::move(then), outcome = std::move(outcome)]() { then(outcome); },
                Qt::QueuedConnection);
        });
    }

  private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace lumivo
