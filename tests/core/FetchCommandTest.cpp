#include <gtest/gtest.h>

#include "CannedResponses.hpp"
#include "CoreFixtures.hpp"

namespace lumivo {
namespace {

using test::ToolRun;

class FetchCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::trustTestCertificateAuthority();
        test::serveCannedResponses(server, finished);
        server.server().set_logger([this](const auto&, const auto&) { ++requests; });
        const auto record = [this](const std::string& id, const std::string& path,
                                   const std::string& sha256) {
            return test::recordObject(
                id, {{"videoUrl", std::string("\"").append(server.url(path)).append("\"")},
                     {"sha256", std::string("\"").append(sha256).append("\"")}});
        };
        // Nothing is served at /v/gone.mp4: a 404 error page with an empty body.
        test::writeFile(manifest,
                        std::string("[")
                            .append(record("clip", "/sized/5000.mp4", test::sha256Of(video)))
                            .append(",")
                            .append(record("gone", "/v/gone.mp4", std::string(64, 'a')))
                            .append("]"));
    }

    ToolRun lumivo(std::vector<std::string> args) {
        return test::runLumivo(directory.path(), args);
    }
    ToolRun fetch(std::vector<std::string> args) {
        args.insert(args.begin(), {"fetch", "--manifest", manifest, "--cache-dir", cache});
        return lumivo(args);
    }

    const std::string video = test::bodyOf(5000);
    std::atomic<bool> finished = true;
    std::atomic<int> requests = 0;
    test::HttpsTestServer server;
    test::TemporaryDirectory directory;
    std::string manifest = directory / "wallpapers.json";
    std::string cache = directory / "cache";
};

TEST_F(FetchCommandTest, DownloadsOnceThenAnswersFromTheCache) {
    const std::string file = cache + "/clip-" + test::sha256Of(video).substr(0, 12) + ".mp4";
    for (int attempt = 0; attempt < 2; ++attempt) {
        // stderr is not a terminal: no progress bar.
        EXPECT_EQ(fetch({"--allow-host", "localhost", "clip"}), ToolRun(0, file + "\n", ""));
    }
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(test::readFile(file), video);
    EXPECT_EQ(lumivo({"cache", "list", "--cache-dir", cache}), ToolRun(0, file + "\t5000\n", ""));
}

TEST_F(FetchCommandTest, FailuresExitWithTheCatalogueMessageAndCacheNothing) {
    const std::vector<std::pair<ToolRun, ToolRun>> table = {
        {fetch({"--allow-host", "localhost", "nope"}),
         {1, "", "No wallpaper in manifest for id nope.\n"}},
        // Without --allow-host only the web origin's host is allowed.
        {fetch({"clip"}), {1, "", "This wallpaper source is not allowed.\n"}},
        {fetch({"--allow-host=example.com", "clip"}),
         {1, "", "This wallpaper source is not allowed.\n"}},
        // The error page is saved like any body; the digest check refuses it.
        {fetch({"--allow-host", "localhost", "gone"}),
         {1, "", "The downloaded wallpaper could not be verified.\n"}},
        {fetch({"--bogus", "clip"}), {2, "", "Usage: lumivo fetch"}},
        {lumivo({"cache", "purge"}), {2, "", "Usage: lumivo cache"}},
    };
    for (auto [run, expected] : table) {
        auto& [status, out, err] = run;
        if (status == 2) {  // only the start of a usage message is compared
            err.resize(std::min(err.size(), std::get<2>(expected).size()));
        }
        EXPECT_EQ(run, expected);
    }
    EXPECT_EQ(test::treeOf(cache), std::vector<std::string>{});
    EXPECT_EQ(requests, 1) << "only the record that passes the policy is fetched";
}

}  // namespace
}  // namespace lumivo
