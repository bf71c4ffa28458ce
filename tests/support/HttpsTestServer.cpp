#include "HttpsTestServer.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace lumivo::test {

namespace {

std::string tlsFile(const char* name) {
    return std::string(LUMIVO_TEST_DATA) + "/tls/" + name;
}

}  // namespace

HttpsTestServer::HttpsTestServer(Certificate certificate) {
    const bool trusted = certificate == Certificate::trusted;
    const std::string cert = tlsFile(trusted ? "server.pem" : "untrusted.pem");
    const std::string key = tlsFile(trusted ? "server.key" : "untrusted.key");
    server_ = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!server_->is_valid()) {
        throw std::runtime_error("HttpsTestServer: cannot load " + cert);
    }
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("HttpsTestServer: cannot bind a loopback port");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() is a no-op until the accept loop runs, so the destructor could
    // otherwise hang on a server stopped right after construction.
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

HttpsTestServer::~HttpsTestServer() {
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string HttpsTestServer::url(const std::string& path) const {
    return "https://localhost:" + std::to_string(port_) + path;
}

void trustTestCertificateAuthority() {
    ::setenv("SSL_CERT_FILE", tlsFile("ca.pem").c_str(), 1);
}

int unusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        throw std::runtime_error("unusedLoopbackPort: socket() failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    if (port == 0) {
        throw std::runtime_error("unusedLoopbackPort: bind() failed");
    }
    return port;
}

}  // namespace lumivo::test
