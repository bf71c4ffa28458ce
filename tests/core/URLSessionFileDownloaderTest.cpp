#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "AcquisitionFixtures.hpp"
#include "HttpsTestServer.hpp"
#include "RawSocketServer.hpp"
#include "URLSessionFileDownloader.hpp"
#include "WallpaperCache.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::HttpsTestServer;
using test::RawSocketServer;
using test::readFile;
using test::thrownBy;
using test::treeOf;
using test::writeFile;
using Request = httplib::Request;
using Response = httplib::Response;

std::string bodyOf(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + i % 26);
    }
    return body;
}

Url url(const std::string& text) {
    return *Url::parse(text);
}

class URLSessionFileDownloaderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::trustTestCertificateAuthority(); }

    void SetUp() override {
        auto& routes = server.server();
        // Bodies of a given size, announced with Content-Length or chunked.
        routes.Get(R"(/sized/(\d+))", [](const Request& request, Response& response) {
            response.set_content(bodyOf(std::stoul(request.matches[1])), "video/mp4");
        });
        routes.Get(R"(/chunked/(\d+))", [](const Request& request, Response& response) {
            response.set_chunked_content_provider(
                "video/mp4", [body = bodyOf(std::stoul(request.matches[1]))](
                                 std::size_t offset, httplib::DataSink& sink) {
                    const std::size_t piece = std::min<std::size_t>(4096, body.size() - offset);
                    sink.write(body.data() + offset, piece);
                    if (offset + piece == body.size()) {
                        sink.done();
                    }
                    return true;
                });
        });
        routes.Get("/missing.mp4", [](const Request&, Response& response) {
            response.status = 404;
            response.set_content("<h1>Not Found</h1>", "text/html");
        });
        // Announces 1000 bytes, sends 500 and hangs up.
        routes.Get("/short", [](const Request&, Response& response) {
            response.set_content_provider(
                1000, "video/mp4", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    return offset == 0 && sink.write(bodyOf(500).data(), 500);
                });
        });
        // Sends the headers, then nothing until the test ends (ten seconds at most).
        routes.Get("/stall", [this](const Request&, Response& response) {
            response.set_content_provider(
                1 << 20, "video/mp4", [this](std::size_t, std::size_t, httplib::DataSink&) {
                    for (int i = 0; i < 1000 && !finished; ++i) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }
                    return false;
                });
        });
        routes.Get("/to-http", [this](const Request&, Response& response) {
            response.set_redirect("http://127.0.0.1:" + std::to_string(server.port()) +
                                  "/sized/10");
        });
        routes.Get(R"(/hops/(\d+))", [this](const Request& request, Response& response) {
            const int left = std::stoi(request.matches[1]);
            response.set_redirect(
                server.url(left == 0 ? "/sized/64" : "/hops/" + std::to_string(left - 1)));
        });
    }

    void TearDown() override { finished = true; }

    std::atomic<bool> finished = false;
    HttpsTestServer server;
    test::TemporaryDirectory directory;
    fs::path destination = directory / "video.mp4";
    URLSessionFileDownloader downloader{FileManager::standard(), std::chrono::seconds(1)};
};

// One instance serves every row, failures and successes in turn: each
// download is independent of the one before.
TEST_F(URLSessionFileDownloaderTest, HoldsTheByteCapExactly) {
    const std::vector<std::tuple<std::string, std::int64_t, bool>> table = {
        {"/sized/1000", 1000, true},     {"/chunked/1000", 1000, true},
        {"/sized/1001", 1000, false},    {"/chunked/1001", 1000, false},
        {"/chunked/50000", 1000, false}, {"/sized/0", 0, true},
        {"/sized/1", 0, false},
    };
    for (const auto& [path, maxBytes, passes] : table) {
        fs::remove(destination);
        const auto error = thrownBy([&, path = path, maxBytes = maxBytes] {
            downloader.download(url(server.url(path)), destination, maxBytes);
        });
        if (passes) {
            EXPECT_EQ(error, std::nullopt) << path;
            EXPECT_EQ(readFile(destination), bodyOf(maxBytes)) << path;
        } else {
            EXPECT_EQ(error, HelperError::badDownloadSize()) << path;
            EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{}) << path;
        }
    }
}

TEST_F(URLSessionFileDownloaderTest, FailuresLeaveTheDestinationAsItWas) {
    RawSocketServer dropping(RawSocketServer::Behaviour::closeOnAccept);
    HttpsTestServer untrusted(HttpsTestServer::Certificate::untrusted);
    const std::string closedPort = std::to_string(test::unusedLoopbackPort());
    const std::vector<std::pair<std::string, std::string>> table = {
        {server.url("/short"), "transfer closed"},
        {server.url("/stall"), "too slow"},  // the 1 s idle time-out
        {server.url("/to-http"), "http"},
        {server.url("/hops/6"), "redirects"},
        {"http://127.0.0.1:" + std::to_string(server.port()) + "/sized/10", "http"},
        {untrusted.url("/sized/10"), "certificate"},
        {"https://127.0.0.1:" + closedPort + "/a.mp4", "127.0.0.1 port " + closedPort},
        // Whether the drop shows as a reset or a failed handshake is a race.
        {"https://127.0.0.1:" + std::to_string(dropping.port()) + "/a.mp4", ""},
    };
    for (const auto& [source, mentioned] : table) {
        writeFile(destination, "previous content");
        const auto error = thrownBy(
            [&, source = source] { downloader.download(url(source), destination, 1 << 20); });
        ASSERT_TRUE(error) << source;
        EXPECT_EQ(error->kind(), HelperError::Case::downloadFailed) << source;
        EXPECT_NE(error->payload().value_or("").find(mentioned), std::string::npos)
            << source << ": " << error->errorDescription();
        EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{"video.mp4"}) << source;
        EXPECT_EQ(readFile(destination), "previous content") << source;
    }
}

TEST_F(URLSessionFileDownloaderTest, SavesAnyBodyWhateverTheStatusAndFollowsHTTPSRedirects) {
    writeFile(destination, "previous content");
    downloader.download(url(server.url("/missing.mp4")), destination, 1 << 20);
    EXPECT_EQ(readFile(destination), "<h1>Not Found</h1>");

    downloader.download(url(server.url("/hops/4")), destination, 1 << 20);
    EXPECT_EQ(readFile(destination), bodyOf(64));
    EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{"video.mp4"});
}

TEST_F(URLSessionFileDownloaderTest, MissingDestinationDirectoryFailsBeforeAnyTransfer) {
    RawSocketServer counting(RawSocketServer::Behaviour::closeOnAccept);
    const Url source = url("https://127.0.0.1:" + std::to_string(counting.port()) + "/a.mp4");
    const auto error =
        thrownBy([&] { downloader.download(source, directory / "no/dir/v.mp4", 100); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::downloadFailed);
    EXPECT_NE(error->errorDescription().find("No such file or directory"), std::string::npos);
    EXPECT_EQ(counting.accepted(), 0);
}

TEST_F(URLSessionFileDownloaderTest, ReportsProgressWithTheAnnouncedLength) {
    for (const auto& [path, expected] :
         {std::pair<std::string, std::int64_t>{"/sized/3145728", 3145728},
          {"/chunked/3145728", -1}}) {
        std::vector<std::pair<std::int64_t, std::int64_t>> reports;
        downloader.setProgressHandler([&reports](std::int64_t received, std::int64_t total) {
            EXPECT_TRUE(reports.empty() || received > reports.back().first);
            reports.emplace_back(received, total);
        });
        downloader.download(url(server.url(path)), destination, 1 << 22);
        EXPECT_GE(reports.size(), 3u) << path;
        EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{3145728}, expected)) << path;
        EXPECT_EQ(reports.front().second, expected) << path;
    }
}

TEST_F(URLSessionFileDownloaderTest, CancelFromAnotherThreadEndsTheRunningDownloadOnly) {
    EXPECT_FALSE(downloader.cancel()) << "nothing runs yet";
    URLSessionFileDownloader patient(FileManager::standard());  // the default 60 s idle time-out
    RawSocketServer silent(RawSocketServer::Behaviour::silent);
    const std::vector<std::string> stalls = {
        server.url("/stall"),                                             // after the headers
        "https://127.0.0.1:" + std::to_string(silent.port()) + "/a.mp4",  // in the handshake
    };
    for (const std::string& stalled : stalls) {
        std::atomic<bool> ended = false;
        std::thread canceller([&] {
            do {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            } while (!ended && !patient.cancel());
        });
        const auto error = thrownBy([&] { patient.download(url(stalled), destination, 1 << 22); });
        ended = true;
        canceller.join();
        EXPECT_EQ(error, HelperError::downloadFailed("Download was cancelled.")) << stalled;
        EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{}) << stalled;
    }
    // A cancel that found nothing running leaves the next download alone.
    EXPECT_FALSE(patient.cancel());
    patient.download(url(server.url("/sized/100")), destination, 100);
    EXPECT_EQ(readFile(destination), bodyOf(100));
}

TEST_F(URLSessionFileDownloaderTest, CacheVerifiesWhatTheNetworkDelivered) {
    const fs::path root = directory / "cache";
    WallpaperCache cache(root, std::make_unique<URLSessionFileDownloader>(FileManager::standard()),
                         FileManager::standard());
    const DownloadPolicy policy({"localhost"}, DownloadPolicy::defaultMaxBytes);
    server.server().Get("/v/aurora.mp4", [](const Request&, Response& response) {
        response.set_content(bodyOf(4096), "video/mp4");
    });
    const fs::path file = cache.localFile(
        test::videoRecord(server.url("/v/aurora.mp4"), test::sha256Of(bodyOf(4096))), policy);
    EXPECT_EQ(readFile(file), bodyOf(4096));

    const auto notFound =
        test::videoRecord(server.url("/missing.mp4"), test::sha256Of("x"), "gone");
    EXPECT_EQ(thrownBy([&] { cache.localFile(notFound, policy); }),
              HelperError::checksumMismatch());
    EXPECT_EQ(treeOf(root), std::vector<std::string>{file.filename().string()});
}

}  // namespace
}  // namespace lumivo
