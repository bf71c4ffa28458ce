#include "RawSocketServer.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace lumivo::test {

RawSocketServer::RawSocketServer(Behaviour behaviour) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("RawSocketServer: cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, behaviour] {
        // accept() fails once the destructor shuts the listener down.
        for (int connection;
             (connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            ++accepted_;
            if (behaviour == Behaviour::closeOnAccept) {
                ::close(connection);
            } else {
                held_.push_back(connection);
            }
        }
    });
}

RawSocketServer::~RawSocketServer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    for (int fd : held_) {
        ::close(fd);
    }
    ::close(listener_);
}

}  // namespace lumivo::test
