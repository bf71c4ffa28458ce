#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>

namespace lumivo {

// Carries out commands one at a time in arrival order on the GUI thread. A
// command may finish later than it starts (after blocking steps on a worker or
// an alert); the next one starts only once it has called its Finish. Commands
// that arrive meanwhile wait their turn. Not thread-safe: GUI thread only.
class CommandQueue {
  public:
    // Ends the running command; calling it again does nothing.
    using Finish = std::function<void()>;
    using Command = std::function<void(Finish)>;

    // Commands start from `context`'s event loop, never inside enqueue().
    explicit CommandQueue(QObject* context) : context_(context) {}

    void enqueue(Command command);
    // Drops the waiting commands and refuses new ones; the running one may end.
    void close();
    // True when no command runs and none waits.
    bool isIdle() const { return !running_ && pending_.empty(); }

  private:
    void scheduleNext();
    void startNext();

    QObject* context_;
    std::deque<Command> pending_;
    bool running_ = false;
    bool scheduled_ = false;
    bool closed_ = false;
};

}  // namespace lumivo
