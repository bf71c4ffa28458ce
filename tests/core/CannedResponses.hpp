#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "HttpsTestServer.hpp"

namespace lumivo::test {

// A body whose every byte depends on its offset.
inline std::string bodyOf(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + i % 26);
    }
    return body;
}

// Announces 1 MiB, then sends nothing until `finished` (ten seconds at most).
inline void stallUntil(const std::atomic<bool>& finished, httplib::Response& response) {
    response.set_content_provider(
        1 << 20, "video/mp4", [&finished](std::size_t, std::size_t, httplib::DataSink&) {
            for (int i = 0; i < 1000 && !finished; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return false;
        });
}

// Registers on `server`:
//   /sized/N[.mp4]  bodyOf(N) with Content-Length   /chunked/N  bodyOf(N), chunked
//   /status/N       status N, body "[]"              /short      announces 1000 bytes, sends 500
//   /stall          the headers, then nothing until `finished` (ten seconds at most)
//   /hops/N         N more redirects, then to /sized/1000; /hops/http to plain HTTP
inline void serveCannedResponses(HttpsTestServer& server, const std::atomic<bool>& finished) {
    using Request = httplib::Request;
    using Response = httplib::Response;
    auto& routes = server.server();
    routes.Get(R"(/sized/(\d+)(?:\.mp4)?)", [](const Request& request, Response& response) {
        response.set_content(bodyOf(std::stoul(request.matches[1])), "video/mp4");
    });
    routes.Get(R"(/chunked/(\d+))", [](const Request& request, Response& response) {
        response.set_chunked_content_provider(
            "video/mp4", [body = bodyOf(std::stoul(request.matches[1]))](std::size_t offset,
                                                                         httplib::DataSink& sink) {
                const std::size_t piece = std::min<std::size_t>(4096, body.size() - offset);
                sink.write(body.data() + offset, piece);
                if (offset + piece == body.size()) {
                    sink.done();
                }
                return true;
            });
    });
    routes.Get(R"(/status/(\d+))", [](const Request& request, Response& response) {
        response.status = std::stoi(request.matches[1]);
        response.set_content("[]", "application/json");
    });
    routes.Get("/short", [](const Request&, Response& response) {
        response.set_content_provider(1000, "video/mp4",
                                      [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          return offset == 0 && sink.write(bodyOf(500).data(), 500);
                                      });
    });
    routes.Get("/stall",
               [&finished](const Request&, Response& response) { stallUntil(finished, response); });
    routes.Get(R"(/hops/(\w+))", [&server](const Request& request, Response& response) {
        const std::string left = request.matches[1];
        response.set_redirect(
            left == "http" ? "http://127.0.0.1:" + std::to_string(server.port()) + "/sized/10"
            : left == "0"  ? server.url("/sized/1000")
                           : server.url("/hops/" + std::to_string(std::stoi(left) - 1)));
    });
}

// The requests the routes of serveCounted() have seen, counted as they arrive.
struct RequestCounts {
    std::atomic<int> counted = 0;
    std::atomic<int> held = 0;
};

// Registers /counted (bodyOf(100)) and /held (as /stall) on `server`.
inline void serveCounted(HttpsTestServer& server, const std::atomic<bool>& finished,
                         RequestCounts& counts) {
    server.server().Get("/counted",
                        [&counts](const httplib::Request&, httplib::Response& response) {
                            ++counts.counted;
                            response.set_content(bodyOf(100), "video/mp4");
                        });
    server.server().Get("/held", [&](const httplib::Request&, httplib::Response& response) {
        ++counts.held;
        stallUntil(finished, response);
    });
}

}  // namespace lumivo::test
