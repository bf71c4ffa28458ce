#pragma once

#include <optional>
#include <string>

#include "FileDescriptor.hpp"

namespace lumivo {

// The frame socket's packets: SOCK_SEQPACKET on a Unix socket, one message a
// packet, at most one file descriptor passed with it (SCM_RIGHTS). Qt-free;
// both the helper and the wallpaper package use it. Sockets are non-blocking.
namespace FrameSocket {

// "$XDG_RUNTIME_DIR/lumivo-wallpaper.sock"; nullopt without a usable
// XDG_RUNTIME_DIR (unset or relative).
std::optional<std::string> defaultPath();

// Whether the socket's peer runs as the same user as this process.
bool peerIsSameUser(int socket);

// Sends `text` (and `fd`, when >= 0) as one packet. False when the peer is
// gone or its queue is full: a wallpaper that falls behind misses frames
// rather than stalling the helper.
bool send(int socket, const std::string& text, int fd = -1);

struct Packet {
    std::string text;
    FileDescriptor fd;  // closed when none came
};
enum class Received { packet, none, closed };
// Reads one packet into `packet`: `none` when nothing waits, `closed` when the
// peer hung up or the socket failed. A packet longer than `maxSize` bytes is
// cut (and then fails to parse); descriptors beyond the first are closed.
Received receive(int socket, std::size_t maxSize, Packet& packet);

}  // namespace FrameSocket

}  // namespace lumivo
