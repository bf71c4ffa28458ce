#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace lumivo::test {

// A TCP server on 127.0.0.1 (ephemeral port) that misbehaves below HTTP: it
// closes every connection as soon as it is accepted, or accepts and never says
// a word, holding the connection until the server is destroyed.
class RawSocketServer {
  public:
    enum class Behaviour { closeOnAccept, silent };

    explicit RawSocketServer(Behaviour behaviour);
    ~RawSocketServer();
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    int port() const { return port_; }
    int accepted() const { return accepted_.load(); }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> accepted_{0};
    std::vector<int> held_;
    std::thread thread_;
};

}  // namespace lumivo::test
