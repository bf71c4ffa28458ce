#include "RawSocketServer.hpp"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace lumivo::test {

RawSocketServer::RawSocketServer(Behaviour behaviour) : behaviour_(behaviour) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int pipeEnds[2];
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        if (listener_ >= 0) {
            ::close(listener_);
        }
        throw std::runtime_error("RawSocketServer: cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    thread_ = std::thread([this] { serve(); });
}

RawSocketServer::~RawSocketServer() {
    const char stop = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &stop, 1);
    thread_.join();
    for (int fd : held_) {
        ::close(fd);
    }
    ::close(listener_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void RawSocketServer::serve() {
    for (;;) {
        pollfd watched[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            continue;
        }
        if (watched[1].revents != 0) {
            return;
        }
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        ++accepted_;
        if (behaviour_ == Behaviour::closeOnAccept) {
            ::close(connection);
        } else {
            held_.push_back(connection);
        }
    }
}

}  // namespace lumivo::test
