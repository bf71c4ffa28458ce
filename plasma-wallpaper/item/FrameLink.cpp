#include "FrameLink.hpp"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "FrameSocket.hpp"

namespace lumivo {

FrameLink::FrameLink(QObject* parent) : QObject(parent) {
    retry_.setInterval(2000);
    connect(&retry_, &QTimer::timeout, this, &FrameLink::tryConnect);
}

void FrameLink::start(long long desktop) {
    desktop_ = desktop;
    hangUp();
    tryConnect();
}

void FrameLink::tryConnect() {
    const auto path = FrameSocket::defaultPath();
    sockaddr_un address{};
    if (desktop_ < 0 || !path || path->size() >= sizeof address.sun_path) {
        return;
    }
    FileDescriptor socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path->c_str(), path->size() + 1);
    if (!socket.isOpen() ||
        ::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !FrameSocket::peerIsSameUser(socket.get())) {
        retry_.start();
        return;
    }
    FrameMessage hello;
    hello.kind = FrameMessage::Kind::hello;
    hello.version = FrameMessage::protocolVersion;
    hello.desktop = desktop_;
    FrameMessage covered;
    covered.kind = FrameMessage::Kind::covered;
    covered.covered = covered_;
    if (!FrameSocket::send(socket.get(), hello.text()) ||
        !FrameSocket::send(socket.get(), covered.text())) {
        retry_.start();
        return;
    }
    retry_.stop();
    socket_ = std::move(socket);
    notifier_ = std::make_unique<QSocketNotifier>(socket_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &FrameLink::readable);
    emit connectedChanged();
}

void FrameLink::hangUp() {
    const bool was = socket_.isOpen();
    notifier_.reset();
    socket_.close();
    canvases_.clear();
    if (was) {
        emit cleared();
        emit connectedChanged();
    }
}

void FrameLink::setCovered(bool covered) {
    covered_ = covered;
    if (socket_.isOpen()) {
        FrameMessage message;
        message.kind = FrameMessage::Kind::covered;
        message.covered = covered;
        FrameSocket::send(socket_.get(), message.text());
    }
}

void FrameLink::release(int canvas, int slot) {
    if (socket_.isOpen()) {
        FrameMessage message;
        message.kind = FrameMessage::Kind::release;
        message.id = canvas;
        message.slot = slot;
        FrameSocket::send(socket_.get(), message.text());
    }
}

void FrameLink::readable() {
    FrameSocket::Packet packet;
    for (;;) {
        const auto result = FrameSocket::receive(socket_.get(), FrameMessage::maxSize, packet);
        if (result == FrameSocket::Received::none) {
            return;
        }
        if (result == FrameSocket::Received::closed) {
            hangUp();
            retry_.start();
            return;
        }
        const auto message = FrameMessage::parse(packet.text);
        if (!message) {
            continue;
        }
        switch (message->kind) {
            case FrameMessage::Kind::canvas:
                if (packet.fd.isOpen()) {
                    if (auto canvas = MappedCanvas::map(*message, packet.fd.get())) {
                        canvases_[message->id] = std::move(canvas);
                    }
                }
                break;
            case FrameMessage::Kind::frame: {
                const auto found = canvases_.find(message->id);
                if (found == canvases_.end() || !found->second->holds(*message)) {
                    release(message->id, message->slot);  // the helper need not keep it
                    break;
                }
                // Canvases are numbered in the order they are made: older ones
                // are no longer drawn into (a frame still shown keeps its own).
                canvases_.erase(canvases_.begin(), found);
                emit frameArrived(found->second, *message);
                break;
            }
            case FrameMessage::Kind::clear:
                emit cleared();
                break;
            default:
                break;  // the package's own messages mean nothing here
        }
    }
}

}  // namespace lumivo
