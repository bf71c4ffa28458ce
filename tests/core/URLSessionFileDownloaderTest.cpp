#include <gtest/gtest.h>

#include "CannedResponses.hpp"
#include "CoreFixtures.hpp"
#include "RawSocketServer.hpp"
#include "URLSessionFileDownloader.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::bodyOf;
using test::readFile;
using test::treeOf;

class URLSessionFileDownloaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::trustTestCertificateAuthority();
        test::serveCannedResponses(server, finished);
        test::serveCounted(server, finished, requests);
    }
    void TearDown() override { finished = true; }

    std::optional<HelperError> download(URLSessionFileDownloader& downloader,
                                        const std::string& url, std::int64_t maxBytes,
                                        std::stop_token stop = {}) {
        const Url from = Url::parse(url).value();
        return test::thrownBy([&] { downloader.download(from, destination, maxBytes, stop); });
    }

    std::atomic<bool> finished = false;
    test::RequestCounts requests;
    test::HttpsTestServer server;
    test::TemporaryDirectory directory;
    fs::path destination = directory / "video.mp4";
    URLSessionFileDownloader downloader{FileManager::standard(), std::chrono::seconds(1)};
};

// One instance serves every row: each download is independent of the one
// before. A row expects the body saved ("ok"), the cap refused ("cap"), or a
// transfer failure whose reason mentions its text.
TEST_F(URLSessionFileDownloaderTest, SavesWithinTheCapOrLeavesTheDestinationAsItWas) {
    test::RawSocketServer dropping(test::RawSocketServer::Behaviour::closeOnAccept);
    test::HttpsTestServer untrusted(test::HttpsTestServer::Certificate::untrusted);
    const std::string closedPort = std::to_string(test::unusedLoopbackPort());
    const std::vector<std::tuple<std::string, std::int64_t, std::string>> table = {
        {"/sized/1000", 1000, "ok"},
        {"/chunked/1000", 1000, "ok"},
        {"/hops/4", 1000, "ok"},
        {"/sized/0", 0, "ok"},
        {"/sized/1001", 1000, "cap"},
        {"/chunked/1001", 1000, "cap"},
        {"/chunked/50000", 1000, "cap"},
        {"/sized/1", 0, "cap"},
        {"/short", 1000, "transfer closed"},
        {"/stall", 1 << 20, "too slow"},  // the 1 s idle time-out
        {"/hops/http", 1000, "http"},
        {"/hops/6", 1000, "redirects"},
        {"http://127.0.0.1:" + std::to_string(server.port()) + "/sized/10", 1000, "http"},
        {untrusted.url("/sized/10"), 1000, "certificate"},
        {"https://127.0.0.1:" + closedPort + "/a.mp4", 1000, "127.0.0.1 port " + closedPort},
        // Whether the drop shows as a reset or a failed handshake is a race.
        {"https://127.0.0.1:" + std::to_string(dropping.port()) + "/a.mp4", 1000, ""},
    };
    for (const auto& [path, maxBytes, expected] : table) {
        const std::string url = path.starts_with("/") ? server.url(path) : path;
        test::writeFile(destination, "previous content");
        const auto error = download(downloader, url, maxBytes);
        EXPECT_EQ(readFile(destination), expected == "ok" ? bodyOf(maxBytes) : "previous content")
            << url;
        EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{"video.mp4"}) << url;
        if (expected == "ok" || expected == "cap") {
            EXPECT_EQ(error, expected == "ok" ? std::nullopt
                                              : std::optional(HelperError::badDownloadSize()))
                << url;
        } else {
            ASSERT_TRUE(error) << url;
            EXPECT_EQ(error->kind(), HelperError::Case::downloadFailed) << url;
            EXPECT_NE(error->payload().value_or("").find(expected), std::string::npos)
                << url << ": " << error->errorDescription();
        }
    }
}

TEST_F(URLSessionFileDownloaderTest, ReportsProgressWithTheAnnouncedLength) {
    for (const auto& [path, announced] : std::vector<std::pair<std::string, std::int64_t>>{
             {"/sized/3145728", 3145728}, {"/chunked/3145728", -1}}) {
        std::vector<std::pair<std::int64_t, std::int64_t>> reports;
        downloader.setProgressHandler([&reports](std::int64_t received, std::int64_t total) {
            EXPECT_TRUE(reports.empty() || received > reports.back().first);
            reports.emplace_back(received, total);
        });
        EXPECT_EQ(download(downloader, server.url(path), 1 << 22), std::nullopt);
        EXPECT_GE(reports.size(), 3u) << path;
        EXPECT_EQ(reports.front().second, announced) << path;
        EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{3145728}, announced)) << path;
    }
}

// ---- Stopping ------------------------------------------------------------

// The default 30 s connect and 60 s idle time-outs would let both run on.
TEST_F(URLSessionFileDownloaderTest, AStopEndsTheDownloadWhileItConnectsOrTheServerStalls) {
    test::RawSocketServer silent(test::RawSocketServer::Behaviour::silent);
    URLSessionFileDownloader patient(FileManager::standard());
    const std::vector<std::pair<std::string, std::function<bool()>>> phases = {
        // Connected, and the TLS handshake is never answered.
        {"https://127.0.0.1:" + std::to_string(silent.port()) + "/a.mp4",
         [&] { return silent.accepted() > 0; }},
        {server.url("/held"), [&] { return requests.held > 0; }},
    };
    for (const auto& [url, reached] : phases) {
        std::stop_source stop;
        const auto start = std::chrono::steady_clock::now();
        std::optional<HelperError> error;
        {
            const test::StopWhen stopper(stop, reached);
            error = download(patient, url, 1 << 22, stop.get_token());
        }
        EXPECT_EQ(error, HelperError::downloadCancelled()) << url;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << url;
        EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{}) << url;
    }
    // The next download, with a token of its own, is not affected.
    EXPECT_EQ(download(patient, server.url("/sized/100"), 100, std::stop_source().get_token()),
              std::nullopt);
    EXPECT_EQ(readFile(destination), bodyOf(100));
}

// The stop came while the caller was still on its way to the download.
TEST_F(URLSessionFileDownloaderTest, AStopBeforeTheDownloadStartsSendsNothingAndLeavesNothing) {
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(download(downloader, server.url("/counted"), 100, stop.get_token()),
              HelperError::downloadCancelled());
    EXPECT_EQ(requests.counted, 0);
    EXPECT_EQ(treeOf(directory.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace lumivo
