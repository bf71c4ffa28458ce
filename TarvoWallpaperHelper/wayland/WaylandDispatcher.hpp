#pragma once

#include <wayland-client.h>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

namespace lumivo {

// Dispatches one wl_display from the Qt event loop: reads and dispatches
// events when its socket is readable, and flushes requests before the loop
// sleeps (waiting for the socket to take more when it is full). When the
// compositor goes away or ends the connection with an error, it stops
// watching, emits connectionLost once and stays idle. GUI thread only; does
// not own the display, which must outlive it.
class WaylandDispatcher : public QObject {
    Q_OBJECT
  public:
    explicit WaylandDispatcher(wl_display* display, QObject* parent = nullptr);
    ~WaylandDispatcher() override;

    // Dispatches queued events and sends pending requests now. False once the
    // connection is lost.
    bool pump();
    bool isLost() const { return lost_; }

  signals:
    // The connection failed; `reason` names the cause for the log.
    void connectionLost(const QString& reason);

  private:
    void readEvents();
    void flush();
    void fail();

    wl_display* display_;
    bool lost_ = false;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    QMetaObject::Connection aboutToBlock_;
};

}  // namespace lumivo
