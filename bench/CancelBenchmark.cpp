// Cancel latency: how long a download or a manifest load takes to end after a
// stop is requested on another thread, while it connects (a server that
// accepts and never answers the TLS handshake) and while the server stalls
// after the headers. Prints one median per phase over both kinds of transfer.
//   cancel <certificate.pem> <key.pem> [rounds]
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

#include "FileManager.hpp"
#include "URLManifestDataLoader.hpp"
#include "URLSessionFileDownloader.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using namespace lumivo;

// Runs `transfer` with a stop token, requests the stop once `ready` holds
// and 50 ms more have passed, and returns the milliseconds from the request
// to the transfer's end.
double cancelLatency(const std::function<void(std::stop_token)>& transfer,
                     const std::function<bool()>& ready) {
    std::stop_source stop;
    std::atomic<bool> ended = false;
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        while (!ended && !ready()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancelledAt = Clock::now();
        stop.request_stop();
    });
    try {
        transfer(stop.get_token());
    } catch (const std::exception&) {
    }
    const Clock::time_point end = Clock::now();
    ended = true;
    canceller.join();
    return std::chrono::duration<double, std::milli>(end - cancelledAt).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cancel <certificate.pem> <key.pem> [rounds]\n");
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 9;

    // Accepts connections (the kernel does) and never says a word.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(silent, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(silent, 64) != 0 ||
        ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("cancel: listen");
        return 1;
    }
    const std::string silentURL =
        "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/v.mp4";

    httplib::SSLServer server(argv[1], argv[2]);
    std::atomic<bool> stopping = false;
    std::atomic<int> stalled = 0;
    server.Get("/v.mp4", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(
            1 << 20, "video/mp4", [&](std::size_t, std::size_t, httplib::DataSink& sink) {
                sink.write("x", 1);
                ++stalled;
                for (int i = 0; i < 100 && !stopping; ++i) {  // one second
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                return false;
            });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string stalledURL = "https://localhost:" + std::to_string(port) + "/v.mp4";

    URLSessionFileDownloader downloader(FileManager::standard());
    URLManifestDataLoader loader;
    const std::string destination = "/tmp/lumivo-bench-cancel-" + std::to_string(::getpid());
    for (const auto& [figure, url] : {std::pair{"cancel_connecting_ms", silentURL},
                                      std::pair{"cancel_stalled_ms", stalledURL}}) {
        const bool connecting = url == silentURL;
        const Url from = Url::parse(url).value();  // a lambda may not capture `url` (clang)
        std::vector<double> latencies;
        for (int round = 0; round < rounds; ++round) {
            const int before = stalled;
            const auto ready = [&] { return connecting || stalled > before; };
            latencies.push_back(cancelLatency(
                [&](std::stop_token token) {
                    downloader.download(from, destination, 1 << 22, token);
                },
                ready));
            const int between = stalled;
            latencies.push_back(
                cancelLatency([&](std::stop_token token) { loader.loadData(from, token); },
                              [&] { return connecting || stalled > between; }));
        }
        std::printf("%s %.1f target=value<250\n", figure, median(latencies));
    }
    stopping = true;
    server.stop();
    serving.join();
    ::close(silent);
    return 0;
}
