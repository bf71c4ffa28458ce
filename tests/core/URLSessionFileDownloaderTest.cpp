#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
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

// Holds streaming responses open until the test lets them go (or ten seconds
// pass, so a failing test cannot hang the server's shutdown).
class Gate {
  public:
    void wait() {
        std::unique_lock lock(mutex_);
        opened_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

class URLSessionFileDownloaderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::trustTestCertificateAuthority(); }

    void SetUp() override {
        auto& routes = server.server();
        // Fixed bodies, announced with Content-Length.
        routes.Get(R"(/sized/(\d+))",
                   [](const httplib::Request& request, httplib::Response& response) {
                       response.set_content(bodyOf(std::stoul(request.matches[1])), "video/mp4");
                   });
        // The same bodies without an announced length.
        routes.Get(R"(/chunked/(\d+))", [](const httplib::Request& request,
                                           httplib::Response& response) {
            const std::size_t size = std::stoul(request.matches[1]);
            response.set_chunked_content_provider(
                "video/mp4", [body = bodyOf(size)](std::size_t offset, httplib::DataSink& sink) {
                    const std::size_t size = body.size();
                    const std::size_t piece = std::min<std::size_t>(4096, size - offset);
                    sink.write(body.data() + offset, piece);
                    if (offset + piece == size) {
                        sink.done();
                    }
                    return true;
                });
        });
        routes.Get("/missing.mp4", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<h1>Not Found</h1>", "text/html");
        });
        // Announces 1000 bytes, sends 500, hangs up.
        routes.Get("/short", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(
                1000, "video/mp4", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    if (offset > 0) {
                        return false;
                    }
                    sink.write(bodyOf(500).data(), 500);
                    return true;
                });
        });
        // Sends the headers, then nothing until the gate opens.
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(1 << 20, "video/mp4",
                                          [this](std::size_t, std::size_t, httplib::DataSink&) {
                                              gate.wait();
                                              return false;
                                          });
        });
        routes.Get("/to-http", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("http://127.0.0.1:" + std::to_string(server.port()) +
                                  "/sized/10");
        });
        routes.Get(
            R"(/hops/(\d+))", [this](const httplib::Request& request, httplib::Response& response) {
                const int left = std::stoi(request.matches[1]);
                response.set_redirect(left == 0 ? server.url("/sized/64")
                                                : server.url("/hops/" + std::to_string(left - 1)));
            });
    }

    void TearDown() override { gate.open(); }

    Gate gate;
    HttpsTestServer server;
    test::TemporaryDirectory directory;
    fs::path destination = directory / "video.mp4";
    URLSessionFileDownloader downloader{FileManager::standard(), std::chrono::seconds(1)};
};

TEST_F(URLSessionFileDownloaderTest, HoldsTheByteCapExactly) {
    struct Case {
        std::string path;
        std::int64_t maxBytes;
        bool passes;
    };
    const std::vector<Case> table = {
        {"/sized/1000", 1000, true},     {"/chunked/1000", 1000, true},
        {"/sized/1001", 1000, false},    {"/chunked/1001", 1000, false},
        {"/chunked/50000", 1000, false}, {"/sized/0", 0, true},
        {"/sized/1", 0, false},
    };
    for (const Case& c : table) {
        std::error_code ignored;
        fs::remove(destination, ignored);
        const auto error = thrownBy(
            [&] { downloader.download(url(server.url(c.path)), destination, c.maxBytes); });
        if (c.passes) {
            EXPECT_EQ(error, std::nullopt) << c.path;
            EXPECT_EQ(readFile(destination), bodyOf(fs::file_size(destination))) << c.path;
            EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(destination)), c.maxBytes) << c.path;
        } else {
            EXPECT_EQ(error, HelperError::badDownloadSize()) << c.path;
            EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{}) << c.path;
        }
    }
}

TEST_F(URLSessionFileDownloaderTest, FailuresLeaveTheDestinationAsItWas) {
    RawSocketServer dropping(RawSocketServer::Behaviour::closeOnAccept);
    const std::string closedPort = std::to_string(test::unusedLoopbackPort());
    HttpsTestServer untrusted(HttpsTestServer::Certificate::untrusted);
    struct Case {
        std::string url;
        std::string reasonMentions;
    };
    const std::vector<Case> table = {
        {server.url("/short"), "transfer closed"},
        {server.url("/stall"), "too slow"},
        {server.url("/to-http"), "http"},
        {server.url("/hops/6"), "redirects"},
        {"http://127.0.0.1:" + std::to_string(server.port()) + "/sized/10", "http"},
        {untrusted.url("/sized/10"), "certificate"},
        {"https://127.0.0.1:" + closedPort + "/a.mp4", "127.0.0.1 port " + closedPort},
        // Whether the drop shows as a reset or a failed handshake is a race.
        {"https://127.0.0.1:" + std::to_string(dropping.port()) + "/a.mp4", ""},
    };
    for (const Case& c : table) {
        writeFile(destination, "previous content");
        const auto error = thrownBy([&] { downloader.download(url(c.url), destination, 1 << 20); });
        ASSERT_TRUE(error) << c.url;
        EXPECT_EQ(error->kind(), HelperError::Case::downloadFailed) << c.url;
        EXPECT_NE(error->payload().value_or("").find(c.reasonMentions), std::string::npos)
            << c.url << ": " << error->errorDescription();
        EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{"video.mp4"}) << c.url;
        EXPECT_EQ(readFile(destination), "previous content") << c.url;
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
    const fs::path nowhere = directory / "no/such/dir/video.mp4";
    const auto error = thrownBy([&] {
        downloader.download(url("https://127.0.0.1:" + std::to_string(counting.port()) + "/a.mp4"),
                            nowhere, 1 << 20);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::downloadFailed);
    EXPECT_NE(error->errorDescription().find("No such file or directory"), std::string::npos)
        << error->errorDescription();
    EXPECT_EQ(counting.accepted(), 0);
}

TEST_F(URLSessionFileDownloaderTest, ReportsProgressWithTheAnnouncedLength) {
    for (const auto& [path, expected] : std::vector<std::pair<std::string, std::int64_t>>{
             {"/sized/3145728", 3145728}, {"/chunked/3145728", -1}}) {
        std::vector<std::pair<std::int64_t, std::int64_t>> reports;
        downloader.setProgressHandler([&](std::int64_t received, std::int64_t total) {
            reports.emplace_back(received, total);
        });
        downloader.download(url(server.url(path)), destination, 1 << 22);
        ASSERT_GE(reports.size(), 3u) << path;
        EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{3145728}, expected)) << path;
        for (std::size_t i = 1; i < reports.size(); ++i) {
            EXPECT_GT(reports[i].first, reports[i - 1].first) << path;
            EXPECT_EQ(reports[i].second, expected) << path;
        }
    }
}

TEST_F(URLSessionFileDownloaderTest, CancelFromAnotherThreadEndsTheRunningDownloadOnly) {
    EXPECT_FALSE(downloader.cancel()) << "nothing runs yet";
    URLSessionFileDownloader patient(FileManager::standard());  // default 60 s idle time-out
    RawSocketServer silent(RawSocketServer::Behaviour::silent);
    const std::vector<std::string> stalls = {
        server.url("/stall"),                                             // mid-body
        "https://127.0.0.1:" + std::to_string(silent.port()) + "/a.mp4",  // mid-handshake
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

TEST_F(URLSessionFileDownloaderTest, SecondDownloadOnOneInstanceIsIndependentOfTheFirst) {
    EXPECT_EQ(
        thrownBy([&] { downloader.download(url(server.url("/chunked/2000")), destination, 1000); }),
        HelperError::badDownloadSize());
    downloader.download(url(server.url("/sized/2000")), destination, 2000);
    EXPECT_EQ(readFile(destination), bodyOf(2000));
    downloader.download(url(server.url("/sized/30")), destination, 2000);
    EXPECT_EQ(readFile(destination), bodyOf(30));
}

TEST_F(URLSessionFileDownloaderTest, CacheVerifiesWhatTheNetworkDelivered) {
    const fs::path root = directory / "cache";
    WallpaperCache cache(root, std::make_unique<URLSessionFileDownloader>(FileManager::standard()),
                         FileManager::standard());
    const DownloadPolicy policy({"localhost"}, DownloadPolicy::defaultMaxBytes);

    server.server().Get("/v/aurora.mp4", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(bodyOf(4096), "video/mp4");
    });
    const auto record =
        test::videoRecord(server.url("/v/aurora.mp4"), test::sha256Of(bodyOf(4096)));
    const fs::path file = cache.localFile(record, policy);
    EXPECT_EQ(readFile(file), bodyOf(4096));

    const auto notFound =
        test::videoRecord(server.url("/missing.mp4"), test::sha256Of("video"), "gone");
    EXPECT_EQ(thrownBy([&] { cache.localFile(notFound, policy); }),
              HelperError::checksumMismatch());
    EXPECT_EQ(treeOf(root), std::vector<std::string>{file.filename().string()});
}

}  // namespace
}  // namespace lumivo
