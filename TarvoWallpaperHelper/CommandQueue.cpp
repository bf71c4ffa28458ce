#include "CommandQueue.hpp"

#include <QMetaObject>

namespace lumivo {

void CommandQueue::enqueue(Command command) {
    if (closed_) {
        return;
    }
    pending_.push_back(std::move(command));
    scheduleNext();
}

void CommandQueue::close() {
    closed_ = true;
    pending_.clear();
}

void CommandQueue::scheduleNext() {
    if (running_ || scheduled_ || pending_.empty()) {
        return;
    }
    // Starting from the event loop keeps each command's stack fresh and lets the
    // caller (a D-Bus call, a menu click) return before the command runs.
    scheduled_ = true;
    QMetaObject::invokeMethod(
        context_, [this] { startNext(); }, Qt::QueuedConnection);
}

void CommandQueue::startNext() {
    scheduled_ = false;
    if (running_ || pending_.empty()) {
        return;
    }
    auto command = std::move(pending_.front());
    pending_.pop_front();
    running_ = true;
    auto finished = std::make_shared<bool>(false);
    command([this, finished] {
        if (*finished) {
            return;
        }
        *finished = true;
        running_ = false;
        scheduleNext();
    });
}

}  // namespace lumivo
