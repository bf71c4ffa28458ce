#include "WaylandDispatcher.hpp"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace lumivo {

WaylandDispatcher::WaylandDispatcher(wl_display* display, QObject* parent)
    : QObject(parent), display_(display) {
    int fd = wl_display_get_fd(display_);
    readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readable_.get(), &QSocketNotifier::activated, this, &WaylandDispatcher::readEvents);
    writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writable_->setEnabled(false);
    connect(writable_.get(), &QSocketNotifier::activated, this, &WaylandDispatcher::flush);
    // Requests made anywhere during this pass of the loop leave before it sleeps.
    aboutToBlock_ = connect(QAbstractEventDispatcher::instance(QThread::currentThread()),
                            &QAbstractEventDispatcher::aboutToBlock, this, [this] { pump(); });
    pump();
}

WaylandDispatcher::~WaylandDispatcher() {
    disconnect(aboutToBlock_);
}

bool WaylandDispatcher::pump() {
    if (!lost_ && wl_display_dispatch_pending(display_) < 0) {
        fail();
    }
    flush();
    return !lost_;
}

void WaylandDispatcher::readEvents() {
    if (lost_) {
        return;
    }
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            return fail();
        }
    }
    // The socket is readable, so this does not block; a closed socket
    // (end of file) fails here instead of waking the loop again and again.
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
        return fail();
    }
    flush();
}

void WaylandDispatcher::flush() {
    if (lost_) {
        return;
    }
    if (wl_display_flush(display_) >= 0) {
        writable_->setEnabled(false);
    } else if (errno == EAGAIN) {
        writable_->setEnabled(true);
    } else {
        fail();
    }
}

void WaylandDispatcher::fail() {
    if (lost_) {
        return;
    }
    lost_ = true;
    readable_->setEnabled(false);
    writable_->setEnabled(false);
    disconnect(aboutToBlock_);
    QString reason;
    int error = wl_display_get_error(display_);
    const wl_interface* interface = nullptr;
    uint32_t id = 0;
    uint32_t code = error == EPROTO ? wl_display_get_protocol_error(display_, &interface, &id) : 0;
    if (error == EPROTO) {
        reason = QStringLiteral("protocol error %1 on %2@%3")
                     .arg(code)
                     .arg(QString::fromLatin1(interface ? interface->name : "unknown"))
                     .arg(id);
    } else {
        reason = QString::fromLocal8Bit(std::strerror(error != 0 ? error : EPIPE));
    }
    // Queued, so that the owner may destroy the connection in its slot.
    QMetaObject::invokeMethod(
        this, [this, reason] { emit connectionLost(reason); }, Qt::QueuedConnection);
}

}  // namespace lumivo
