#include "FrameSocket.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace lumivo::FrameSocket {

std::optional<std::string> defaultPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || dir[0] != '/') {
        return std::nullopt;
    }
    return std::string(dir) + "/lumivo-wallpaper.sock";
}

bool peerIsSameUser(int socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == getuid();
}

bool send(int socket, const std::string& text, int fd) {
    iovec data{const_cast<char*>(text.data()), text.size()};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
    }
    ssize_t sent;
    do {
        sent = sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(text.size());
}

Received receive(int socket, std::size_t maxSize, Packet& packet) {
    std::vector<char> buffer(maxSize);
    iovec data{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    // Room for a few descriptors, so that extra ones arrive (and get closed)
    // rather than being cut off silently.
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = recvmsg(socket, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? Received::none : Received::closed;
    }
    if (got == 0) {
        return Received::closed;  // an empty packet is never sent; a hang-up reads as one
    }
    packet.text.assign(buffer.data(), static_cast<std::size_t>(got));
    packet.fd = FileDescriptor();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            if (!packet.fd.isOpen()) {
                packet.fd = FileDescriptor(fd);
            } else {
                ::close(fd);
            }
        }
    }
    if ((message.msg_flags & MSG_TRUNC) != 0) {
        packet.text.push_back('\0');  // too long: make sure it does not parse
    }
    return Received::packet;
}

}  // namespace lumivo::FrameSocket
