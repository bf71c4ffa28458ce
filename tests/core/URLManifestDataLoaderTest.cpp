#include <gtest/gtest.h>

#include "CannedResponses.hpp"
#include "CoreFixtures.hpp"
#include "RawSocketServer.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo {
namespace {

// The body read from `url` with a 1000-byte limit, or "! " and the failure reason.
std::string load(const std::string& url) {
    try {
        return URLManifestDataLoader(1000).loadData(Url::parse(url).value());
    } catch (const HelperError& error) {
        EXPECT_EQ(error.kind(), HelperError::Case::manifestLoadFailed);
        return "! " + error.payload().value_or("");
    }
}

TEST(URLManifestDataLoader, ReadsWithinTheLimitFromHTTPSOrFilesAndFailsWithClearReasons) {
    test::trustTestCertificateAuthority();
    const std::atomic<bool> finished = true;
    test::HttpsTestServer server;
    test::serveCannedResponses(server, finished);
    const test::TemporaryDirectory directory;
    const std::string exact = test::bodyOf(1000);
    test::writeFile(directory / "exact.json", exact);
    test::writeFile(directory / "big.json", exact + " ");
    const std::string dir = directory.path().string();
    const std::string base = Url::fileURL(directory.path()).absoluteString();
    const std::string tooLarge = "the manifest is larger than 1000 bytes";
    const std::string closedPort = std::to_string(test::unusedLoopbackPort());

    const std::vector<std::pair<std::string, std::string>> table = {
        {server.url("/sized/1000"), exact},
        {server.url("/hops/1"), exact},
        {server.url("/sized/1001"), "! " + tooLarge},
        // No length announced: the limit must hold while the body streams.
        {server.url("/chunked/3000"), "! " + tooLarge},
        {server.url("/status/404"), "! HTTP 404"},
        {server.url("/status/300"), "! HTTP 300"},
        {server.url("/hops/http"), "! Protocol \"http\" not supported"},
        {"https://localhost:" + closedPort + "/",
         "! Failed to connect to localhost port " + closedPort},
        {"http://localhost/x.json",
         "! unsupported URL scheme \"http\"; only https and file URLs are read"},
        {base + "/exact.json", exact},
        {base + "/big.json", "! " + dir + "/big.json: " + tooLarge},
        {base + "/missing.json", "! " + dir + "/missing.json: No such file or directory"},
        {base, "! " + dir + ": Is a directory"},
        {base + "/exact.json%00.png",
         "! file URL path contains a NUL byte: " + base + "/exact.json%00.png"},
        {"file:exact.json", "! file URL has no absolute path: file:exact.json"},
        {"file://elsewhere/etc/hosts", "! file URL names another host: elsewhere"},
        {"/no/scheme.json", "! the manifest location has no scheme: /no/scheme.json"},
    };
    for (const auto& [url, expected] : table) {
        const std::string outcome = load(url);
        // A failure reason may go on with detail; a body must match exactly.
        EXPECT_TRUE(expected.starts_with("! ") ? outcome.starts_with(expected)
                                               : outcome == expected)
            << url << ": " << outcome.substr(0, 200);
    }
}

// Both phases would otherwise wait for the loader's 30 s and 60 s time-outs.
TEST(URLManifestDataLoader, CancelEndsTheRunningLoadWhileConnectingOrStalledAndNothingLater) {
    test::trustTestCertificateAuthority();
    std::atomic<bool> finished = false;
    test::HttpsTestServer server;
    test::serveCannedResponses(server, finished);
    test::RawSocketServer silent(test::RawSocketServer::Behaviour::silent);
    URLManifestDataLoader loader;
    EXPECT_FALSE(loader.cancel()) << "nothing runs yet";
    for (const std::string& url :
         {"https://127.0.0.1:" + std::to_string(silent.port()) + "/m.json", server.url("/stall")}) {
        std::atomic<bool> ended = false;
        std::thread canceller([&] {
            while (!ended && !loader.cancel()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const auto error = test::thrownBy([&] { loader.loadData(Url::parse(url).value()); });
        ended = true;
        canceller.join();
        EXPECT_EQ(error, HelperError::manifestLoadCancelled()) << url;
        EXPECT_TRUE(error && error->isCancellation()) << url;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << url;
    }
    finished = true;
    EXPECT_FALSE(loader.cancel());
    EXPECT_EQ(loader.loadData(Url::parse(server.url("/sized/100")).value()), test::bodyOf(100));
}

}  // namespace
}  // namespace lumivo
