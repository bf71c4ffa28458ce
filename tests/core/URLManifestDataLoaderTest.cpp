#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "HelperError.hpp"
#include "HttpsTestServer.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo {
namespace {

using test::HttpsTestServer;

constexpr std::size_t limit = 1000;

// The loader's failure reason for `url`, or "" when it reads `expected`.
std::string reason(const std::string& url, const std::string& expected = "") {
    const auto parsed = Url::parse(url);
    if (!parsed) {
        return "unparseable test URL";
    }
    try {
        const std::string body = URLManifestDataLoader(limit).loadData(*parsed);
        return body == expected ? "" : "unexpected body: " + body;
    } catch (const HelperError& error) {
        EXPECT_EQ(error.kind(), HelperError::Case::manifestLoadFailed);
        return *error.payload();
    }
}

class HttpsLoading : public testing::Test {
  protected:
    static void SetUpTestSuite() { test::trustTestCertificateAuthority(); }

    void SetUp() override {
        struct Canned {
            const char* path;
            int status;
            std::string body;
            std::string location;
        };
        const std::string http = "http://localhost:" + std::to_string(server.port());
        const std::vector<Canned> responses = {
            {"/ok", 200, "[1]", ""},
            {"/exact", 200, std::string(limit, ' '), ""},
            {"/big", 200, std::string(limit + 1, ' '), ""},
            {"/gone", 404, "[]", ""},
            {"/no-location", 300, "[]", ""},
            {"/moved", 302, "", server.url("/ok")},
            {"/to-http", 302, "", http + "/ok"},
            {"/loop", 302, "", "/loop"},
        };
        for (const Canned& canned : responses) {
            server.server().Get(canned.path,
                                [canned](const httplib::Request&, httplib::Response& res) {
                                    res.status = canned.status;
                                    res.set_content(canned.body, "application/json");
                                    if (!canned.location.empty()) {
                                        res.set_header("Location", canned.location);
                                    }
                                });
        }
        // No length announced: the limit must hold while the body streams.
        server.server().Get("/big-chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/json", [](std::size_t, auto& sink) {
                const std::string chunk(300, ' ');
                for (int i = 0; i < 10 && sink.is_writable(); ++i) {
                    sink.write(chunk.data(), chunk.size());
                }
                sink.done();
                return true;
            });
        });
    }

    HttpsTestServer server;
};

TEST_F(HttpsLoading, ReadsBodiesAndFailsWithClearReasons) {
    EXPECT_EQ(reason(server.url("/ok"), "[1]"), "");
    EXPECT_EQ(reason(server.url("/moved"), "[1]"), "");
    EXPECT_EQ(reason(server.url("/exact"), std::string(limit, ' ')), "");
    EXPECT_EQ(reason(server.url("/gone")), "HTTP 404");
    EXPECT_EQ(reason(server.url("/no-location")), "HTTP 300");
    EXPECT_EQ(reason(server.url("/big")), "the manifest is larger than 1000 bytes");
    EXPECT_EQ(reason(server.url("/big-chunked")), "the manifest is larger than 1000 bytes");
    EXPECT_NE(reason(server.url("/to-http")).find("http"), std::string::npos);
    EXPECT_NE(reason(server.url("/loop")).find("redirect"), std::string::npos);
    EXPECT_NE(reason("https://localhost:" + std::to_string(test::unusedLoopbackPort()) + "/")
                  .find("Couldn't connect to server"),
              std::string::npos);
    EXPECT_EQ(reason("http://localhost:" + std::to_string(server.port()) + "/ok"),
              "unsupported URL scheme \"http\"; only https and file URLs are read");
}

TEST_F(HttpsLoading, RefusesAnUntrustedCertificate) {
    HttpsTestServer untrusted(HttpsTestServer::Certificate::untrusted);
    untrusted.server().Get("/ok", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("[1]", "application/json");
    });
    EXPECT_NE(reason(untrusted.url("/ok")).find("certificate"), std::string::npos);
}

TEST(FileLoading, ReadsLocalFilesWithinTheLimit) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("lumivo-loader-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "exact.json") << std::string(limit, 'x');
    std::ofstream(dir / "big.json") << std::string(limit + 1, 'x');
    const std::string base = Url::fileURL(dir).absoluteString();

    EXPECT_EQ(reason(base + "/exact.json", std::string(limit, 'x')), "");
    EXPECT_EQ(reason(base + "/big.json"),
              dir.string() + "/big.json: the manifest is larger than 1000 bytes");
    EXPECT_EQ(reason(base + "/missing.json"),
              dir.string() + "/missing.json: No such file or directory");
    EXPECT_EQ(reason(base), dir.string() + ": Is a directory");
    EXPECT_EQ(reason(base + "/exact.json%00.png"),
              "file URL path contains a NUL byte: " + base + "/exact.json%00.png");
    EXPECT_EQ(reason("file:exact.json"), "file URL has no absolute path: file:exact.json");
    EXPECT_EQ(reason("file://elsewhere/etc/hosts"), "file URL names another host: elsewhere");
    EXPECT_EQ(reason("/no/scheme.json"), "the manifest location has no scheme: /no/scheme.json");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lumivo
