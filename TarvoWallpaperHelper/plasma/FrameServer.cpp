#include "FrameServer.hpp"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "FrameSocket.hpp"

namespace lumivo {

FrameServer::FrameServer(std::string path) : path_(std::move(path)) {
    sockaddr_un address{};
    if (path_.size() >= sizeof address.sun_path) {
        throw std::runtime_error("the frame socket's path is too long: " + path_);
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    listener_ = FileDescriptor(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // Only one helper runs per session (the D-Bus name sees to that), so a
    // socket already there was left by one that is gone.
    unlink(path_.c_str());
    const mode_t mask = umask(0077);
    const bool bound =
        listener_.isOpen() &&
        bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    umask(mask);
    if (!bound || listen(listener_.get(), 16) != 0) {
        throw std::runtime_error("cannot listen at " + path_ + ": " + errnoText(errno));
    }
    acceptor_ = std::make_unique<QSocketNotifier>(listener_.get(), QSocketNotifier::Read);
    connect(acceptor_.get(), &QSocketNotifier::activated, this, &FrameServer::accept);
}

FrameServer::~FrameServer() {
    clients_.clear();
    unlink(path_.c_str());
}

void FrameServer::accept() {
    for (;;) {
        FileDescriptor socket(
            accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket.isOpen()) {
            return;
        }
        if (!FrameSocket::peerIsSameUser(socket.get())) {
            continue;
        }
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        client->notifier =
            std::make_unique<QSocketNotifier>(client->socket.get(), QSocketNotifier::Read);
        Client* raw = client.get();
        connect(client->notifier.get(), &QSocketNotifier::activated, this,
                [this, raw] { readable(raw); });
        clients_.push_back(std::move(client));
    }
}

void FrameServer::readable(Client* client) {
    FrameSocket::Packet packet;
    for (;;) {
        const auto result =
            FrameSocket::receive(client->socket.get(), FrameMessage::maxSize, packet);
        if (result == FrameSocket::Received::none) {
            return;
        }
        if (result == FrameSocket::Received::closed) {
            drop(client);
            return;
        }
        const auto message = FrameMessage::parse(packet.text);
        if (!message) {
            continue;
        }
        switch (message->kind) {
            case FrameMessage::Kind::hello:
                if (message->version == FrameMessage::protocolVersion && client->desktop < 0) {
                    client->desktop = message->desktop;
                    emit desktopsChanged();
                }
                break;
            case FrameMessage::Kind::covered:
                if (client->covered != message->covered) {
                    client->covered = message->covered;
                    if (client->desktop >= 0) {
                        emit coveredChanged();
                    }
                }
                break;
            case FrameMessage::Kind::release: {
                const auto held = client->holds.find({message->id, message->slot});
                if (held == client->holds.end()) {
                    break;  // not held by this client: nothing to give back
                }
                if (--held->second == 0) {
                    client->holds.erase(held);
                }
                if (const auto ring = rings_.find(message->id); ring != rings_.end()) {
                    ring->second->release(message->slot);
                }
                break;
            }
            default:
                break;  // the helper's own messages mean nothing here
        }
    }
}

void FrameServer::drop(Client* client) {
    for (const auto& [held, count] : client->holds) {
        if (const auto ring = rings_.find(held.first); ring != rings_.end()) {
            for (int i = 0; i < count; ++i) {
                ring->second->release(held.second);
            }
        }
    }
    const bool said = client->desktop >= 0;
    const auto at = std::find_if(clients_.begin(), clients_.end(),
                                 [client](const auto& c) { return c.get() == client; });
    // Deleted later: this runs inside the client's own notifier.
    client->notifier->setEnabled(false);
    client->notifier.release()->deleteLater();
    clients_.erase(at);
    if (said) {
        emit desktopsChanged();
    }
}

bool FrameServer::connected(long long desktop) const {
    return std::any_of(clients_.begin(), clients_.end(),
                       [desktop](const auto& c) { return c->desktop == desktop; });
}

std::set<long long> FrameServer::desktops() const {
    std::set<long long> result;
    for (const auto& c : clients_) {
        if (c->desktop >= 0) {
            result.insert(c->desktop);
        }
    }
    return result;
}

bool FrameServer::covered(long long desktop) const {
    bool any = false;
    for (const auto& c : clients_) {
        if (c->desktop == desktop) {
            if (!c->covered) {
                return false;
            }
            any = true;
        }
    }
    return any;
}

bool FrameServer::show(long long desktop, FrameRing& ring, const Rect& source) {
    rings_[ring.id()] = &ring;
    FrameMessage frame;
    frame.kind = FrameMessage::Kind::frame;
    frame.id = ring.id();
    frame.slot = ring.latest();
    frame.x = source.x;
    frame.y = source.y;
    frame.width = source.width;
    frame.height = source.height;
    bool shown = false;
    for (const auto& c : clients_) {
        if (c->desktop != desktop) {
            continue;
        }
        if (!c->canvases.contains(ring.id())) {
            if (!FrameSocket::send(c->socket.get(), ring.canvasMessage().text(), ring.memoryFd())) {
                continue;
            }
            c->canvases.insert(ring.id());
        }
        if (FrameSocket::send(c->socket.get(), frame.text())) {
            ring.hold(frame.slot);
            ++c->holds[{frame.id, frame.slot}];
            shown = true;
        }
    }
    return shown;
}

void FrameServer::clear(long long desktop) {
    FrameMessage message;
    message.kind = FrameMessage::Kind::clear;
    for (const auto& c : clients_) {
        if (c->desktop == desktop) {
            FrameSocket::send(c->socket.get(), message.text());
        }
    }
}

void FrameServer::forget(const FrameRing& ring) {
    rings_.erase(ring.id());
    for (const auto& c : clients_) {
        c->canvases.erase(ring.id());
        std::erase_if(c->holds,
                      [&ring](const auto& held) { return held.first.first == ring.id(); });
    }
}

}  // namespace lumivo
