#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FileDescriptor.hpp"
#include "FrameRing.hpp"
#include "Rect.hpp"

namespace lumivo {

// The helper's end of the frame socket: listens at a path only this user can
// reach, takes the wallpaper package's connections (one per desktop that
// shows it; peers of another user are refused), hands each one the canvases
// and frames of its desktop, and hears which slots they are done with and
// whether windows cover them. Ignores messages it cannot read. GUI thread only.
class FrameServer : public QObject {
    Q_OBJECT
  public:
    // Listens at `path`, replacing a socket left there by a helper that is
    // gone. Throws std::runtime_error when it cannot.
    explicit FrameServer(std::string path);
    ~FrameServer() override;

    // Whether a connection for `desktop` said hello.
    bool connected(long long desktop) const;
    // The desktops connections said hello for.
    std::set<long long> desktops() const;
    // Whether the connections of `desktop` report it covered by windows.
    bool covered(long long desktop) const;
    // Shows the slot `ring` was last drawn into, part `source`, on `desktop`
    // (handing the canvas over first where needed). Returns false when no
    // connection of `desktop` took it.
    bool show(long long desktop, FrameRing& ring, const Rect& source);
    // Tells `desktop` to show nothing.
    void clear(long long desktop);
    // Called by a ring as it goes: its slots are held by no one any more.
    void forget(const FrameRing& ring);

  signals:
    // A desktop's connection came (it wants the current frame) or went.
    void desktopsChanged();
    void coveredChanged();

  private:
    struct Client {
        FileDescriptor socket;
        std::unique_ptr<QSocketNotifier> notifier;
        long long desktop = -1;  // until hello
        bool covered = false;
        std::set<int> canvases;                    // ids handed over
        std::map<std::pair<int, int>, int> holds;  // (canvas, slot) -> count
    };
    void accept();
    void readable(Client* client);
    void drop(Client* client);

    std::string path_;
    FileDescriptor listener_;
    std::unique_ptr<QSocketNotifier> acceptor_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::map<int, FrameRing*> rings_;  // the rings frames were shown from, by id
};

}  // namespace lumivo
