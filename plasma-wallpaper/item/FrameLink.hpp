#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>

#include "FileDescriptor.hpp"
#include "FrameMessage.hpp"
#include "MappedCanvas.hpp"

namespace lumivo {

// The package's end of the frame socket: connects to the helper (and again
// every two seconds while it cannot), says which desktop it draws, maps the
// canvases it is given and reports frames and "clear". Ignores any message
// it cannot verify. GUI thread only, except release(), which the scene graph
// calls while the GUI thread waits for it.
class FrameLink : public QObject {
    Q_OBJECT
  public:
    explicit FrameLink(QObject* parent = nullptr);

    // Connects (or reconnects) for this containment id.
    void start(long long desktop);
    bool connected() const { return socket_.isOpen(); }
    void setCovered(bool covered);
    // Done reading a slot of a canvas.
    void release(int canvas, int slot);

  signals:
    // `frame` lies inside `canvas`.
    void frameArrived(std::shared_ptr<MappedCanvas> canvas, FrameMessage frame);
    // Nothing to show: cleared by the helper, or the helper went away.
    void cleared();
    void connectedChanged();

  private:
    void tryConnect();
    void readable();
    void hangUp();

    long long desktop_ = -1;
    bool covered_ = false;
    FileDescriptor socket_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    std::map<int, std::shared_ptr<MappedCanvas>> canvases_;
};

}  // namespace lumivo
