#pragma once

#include <QObject>
#include <functional>

namespace lumivo {

// Tells when the session bus goes away (the bus daemon ended or dropped the
// helper): the library then delivers org.freedesktop.DBus.Local.Disconnected.
class BusDisconnection : public QObject {
    Q_OBJECT

  public:
    // Watches the session bus; `lost` runs on the GUI thread once it is gone.
    // Does nothing when the session bus was never connected.
    explicit BusDisconnection(std::function<void()> lost);

  private slots:
    void disconnected();

  private:
    std::function<void()> lost_;
};

}  // namespace lumivo
