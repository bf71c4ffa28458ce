#include <gtest/gtest.h>
#include <sys/stat.h>

#include "CannedResponses.hpp"
#include "CoreFixtures.hpp"
#include "RawSocketServer.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo {
namespace {

const std::string exact = test::bodyOf(1000);
const std::string tooLarge = "! the manifest is larger than 1000 bytes";

// A named row: the URL read and the body or "! " failure reason expected.
using Row = std::pair<const char*, std::pair<std::string, std::string>>;

// One loopback HTTPS server and one directory of files for the whole suite:
// exact.json (1000 bytes, the limit), big.json (1001) and fifo.json (a FIFO).
class URLManifestDataLoaderTest : public testing::TestWithParam<Row> {
  public:
    static void SetUpTestSuite() {
        test::trustTestCertificateAuthority();
        server = new test::HttpsTestServer;
        test::serveCannedResponses(*server, finished);
        directory = new test::TemporaryDirectory;
        test::writeFile(*directory / "exact.json", exact);
        test::writeFile(*directory / "big.json", exact + " ");
        ASSERT_EQ(::mkfifo((*directory / "fifo.json").c_str(), 0600), 0);
    }
    static void TearDownTestSuite() {
        delete server;
        delete directory;
    }

    // `text` with "{https}" (the server's origin), "{dir}" (the directory's
    // path), "{file}" (its file URL) and "{closed}" (a closed port) filled in.
    static std::string expand(std::string text) {
        const std::pair<std::string, std::string> fields[] = {
            {"{https}", server->url("")},
            {"{file}", Url::fileURL(directory->path()).absoluteString()},
            {"{dir}", directory->path().string()},
            {"{closed}", std::to_string(closedPort)},
        };
        for (const auto& [field, value] : fields) {
            for (auto at = text.find(field); at != std::string::npos; at = text.find(field)) {
                text.replace(at, field.size(), value);
            }
        }
        return text;
    }

    static inline const std::atomic<bool> finished = true;
    static inline test::HttpsTestServer* server = nullptr;
    static inline test::TemporaryDirectory* directory = nullptr;
    static inline const int closedPort = test::unusedLoopbackPort();
};

// The body read from `url` with a 1000-byte limit, or "! " and the failure reason.
std::string load(const std::string& url) {
    try {
        return URLManifestDataLoader(1000).loadData(Url::parse(url).value(), {});
    } catch (const HelperError& error) {
        EXPECT_EQ(error.kind(), HelperError::Case::manifestLoadFailed);
        return "! " + error.payload().value_or("");
    }
}

TEST_P(URLManifestDataLoaderTest, ReadsWithinTheLimitOrFailsWithAClearReason) {
    const std::string url = expand(GetParam().second.first);
    const std::string expected = expand(GetParam().second.second);
    const std::string outcome = load(url);
    // A failure reason may go on with detail; a body must match exactly.
    EXPECT_TRUE(expected.starts_with("! ") ? outcome.starts_with(expected) : outcome == expected)
        << url << ": " << outcome.substr(0, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Https, URLManifestDataLoaderTest,
    testing::Values(
        Row{"BodyAtTheLimit", {"{https}/sized/1000", exact}},
        Row{"AfterARedirect", {"{https}/hops/1", exact}},
        Row{"AnnouncedOverTheLimit", {"{https}/sized/1001", tooLarge}},
        // No length announced: the limit must hold while the body streams.
        Row{"StreamedOverTheLimit", {"{https}/chunked/3000", tooLarge}},
        Row{"NotFound", {"{https}/status/404", "! HTTP 404"}},
        Row{"RedirectWithoutLocation", {"{https}/status/300", "! HTTP 300"}},
        Row{"RedirectToHttp", {"{https}/hops/http", "! Protocol \"http\" not supported"}},
        Row{"ClosedPort",
            {"https://localhost:{closed}/", "! Failed to connect to localhost port {closed}"}},
        Row{"PlainHttp",
            {"http://localhost/x.json",
             "! unsupported URL scheme \"http\"; only https and file URLs are read"}}),
    [](const auto& info) { return std::string(info.param.first); });

INSTANTIATE_TEST_SUITE_P(
    Files, URLManifestDataLoaderTest,
    testing::Values(
        Row{"FileAtTheLimit", {"{file}/exact.json", exact}},
        Row{"FileOverTheLimit", {"{file}/big.json", "! {dir}/big.json: the manifest is larger"}},
        Row{"MissingFile",
            {"{file}/missing.json", "! {dir}/missing.json: No such file or directory"}},
        Row{"Directory", {"{file}", "! {dir}: not a regular file"}},
        // Opening a FIFO must neither wait for a writer nor read it.
        Row{"Fifo", {"{file}/fifo.json", "! {dir}/fifo.json: not a regular file"}},
        Row{"DecodedNul",
            {"{file}/exact.json%00.png",
             "! file URL path contains a NUL byte: {file}/exact.json%00.png"}},
        Row{"RelativePath",
            {"file:exact.json", "! file URL has no absolute path: file:exact.json"}},
        Row{"OtherHost",
            {"file://elsewhere/etc/hosts", "! file URL names another host: elsewhere"}},
        Row{"NoScheme",
            {"/no/scheme.json", "! the manifest location has no scheme: /no/scheme.json"}}),
    [](const auto& info) { return std::string(info.param.first); });

// ---- Stopping ------------------------------------------------------------

// Both phases would otherwise wait for the loader's 30 s and 60 s time-outs.
TEST(URLManifestDataLoader, AStopEndsTheLoadWheneverItComesAndSparesTheNextLoad) {
    test::trustTestCertificateAuthority();
    std::atomic<bool> finished = false;
    test::RequestCounts requests;
    test::HttpsTestServer server;
    test::serveCannedResponses(server, finished);
    test::serveCounted(server, finished, requests);
    test::RawSocketServer silent(test::RawSocketServer::Behaviour::silent);
    URLManifestDataLoader loader;
    const std::vector<std::pair<std::string, std::function<bool()>>> phases = {
        {"https://127.0.0.1:" + std::to_string(silent.port()) + "/m.json",
         [&] { return silent.accepted() > 0; }},
        {server.url("/held"), [&] { return requests.held > 0; }},
    };
    for (const auto& [where, reached] : phases) {
        const Url url = Url::parse(where).value();
        std::stop_source stop;
        const auto start = std::chrono::steady_clock::now();
        std::optional<HelperError> error;
        {
            const test::StopWhen stopper(stop, reached);
            error = test::thrownBy([&] { loader.loadData(url, stop.get_token()); });
        }
        EXPECT_EQ(error, HelperError::manifestLoadCancelled()) << where;
        EXPECT_TRUE(error && error->isCancellation()) << where;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << where;
    }
    finished = true;

    // A stop before the load begins: no request at all.
    std::stop_source early;
    early.request_stop();
    EXPECT_EQ(test::thrownBy([&] {
                  loader.loadData(Url::parse(server.url("/counted")).value(), early.get_token());
              }),
              HelperError::manifestLoadCancelled());
    EXPECT_EQ(requests.counted, 0);
    // The next load, with a token of its own, is not affected.
    EXPECT_EQ(
        loader.loadData(Url::parse(server.url("/counted")).value(), std::stop_source().get_token()),
        test::bodyOf(100));
}

}  // namespace
}  // namespace lumivo
