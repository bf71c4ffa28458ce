#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace lumivo::test {

// A real HTTPS server on 127.0.0.1 with an ephemeral port, serving on a
// background thread from construction until destruction. By default it
// presents tests/data/tls/server.pem (signed by the test CA, valid for
// localhost); with Certificate::untrusted a self-signed certificate nobody
// trusts. Register handlers through server() before issuing requests.
class HttpsTestServer {
  public:
    enum class Certificate { trusted, untrusted };

    explicit HttpsTestServer(Certificate certificate = Certificate::trusted);
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    int port() const { return port_; }
    // "https://localhost:<port><path>"; `path` should start with "/".
    std::string url(const std::string& path) const;
    httplib::Server& server() { return *server_; }

  private:
    std::unique_ptr<httplib::SSLServer> server_;
    int port_ = 0;
    std::thread thread_;
};

// Points SSL_CERT_FILE at the test CA (tests/data/tls/ca.pem) for the whole
// test process, so HTTPS clients trust HttpsTestServer's default certificate.
void trustTestCertificateAuthority();

// A loopback port on which nothing listens (bound once, then released), for
// "connection refused" cases.
int unusedLoopbackPort();

}  // namespace lumivo::test
