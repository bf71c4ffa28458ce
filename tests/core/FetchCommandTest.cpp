#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>

#include "AcquisitionFixtures.hpp"
#include "HttpsTestServer.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::treeOf;
using test::writeFile;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class FetchCommandTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::trustTestCertificateAuthority(); }

    void SetUp() override {
        server.server().Get("/v/clip.mp4",
                            [this](const httplib::Request&, httplib::Response& response) {
                                ++requests;
                                response.set_content(video, "video/mp4");
                            });
        const std::string url = server.url("/v/clip.mp4");
        writeFile(manifest, "[" + entry("clip", url, test::sha256Of(video)) + "," +
                                entry("forged", url, std::string(64, 'a')) + "]");
    }

    static std::string entry(const std::string& id, const std::string& url,
                             const std::string& sha) {
        return R"({"id":")" + id +
               R"(","slug":"s","title":"T","category":"c","thumbnailUrl":"/t.jpg",)" +
               R"("videoUrl":")" + url + R"(","sha256":")" + sha +
               R"(","bytes":5000,"duration":1,"width":1,"height":1,"format":"mp4","updatedAt":"u"})";
    }

    // Runs the lumivo tool with stdout piped and stderr in a file, so stderr
    // is not a terminal. Arguments are temp paths and plain words: no quoting.
    Outcome lumivo(const std::vector<std::string>& args) {
        std::string command = LUMIVO_CLI;
        for (const auto& arg : args) {
            command += " " + arg;
        }
        const fs::path err = directory / "stderr";
        FILE* pipe = ::popen((command + " 2>" + err.string()).c_str(), "r");
        std::string out;
        for (int c; (c = std::fgetc(pipe)) != EOF;) {
            out += static_cast<char>(c);
        }
        const int status = ::pclose(pipe);
        Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, readFile(err)};
        fs::remove(err);
        return outcome;
    }

    std::vector<std::string> fetch(const std::string& id, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"fetch", "--manifest", manifest.string(), "--cache-dir",
                                         cache.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(id);
        return args;
    }

    const std::string video = std::string(5000, 'v');
    test::HttpsTestServer server;
    std::atomic<int> requests = 0;
    test::TemporaryDirectory directory;
    fs::path manifest = directory / "wallpapers.json";
    fs::path cache = directory / "cache";
};

TEST_F(FetchCommandTest, DownloadsOnceThenAnswersFromTheCache) {
    const fs::path expected = cache / ("clip-" + test::sha256Of(video).substr(0, 12) + ".mp4");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Outcome run = lumivo(fetch("clip", {"--allow-host", "localhost"}));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected.string() + "\n");
        EXPECT_EQ(run.err, "") << "no progress bar when stderr is not a terminal";
    }
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(readFile(expected), video);

    const Outcome list = lumivo({"cache", "list", "--cache-dir", cache.string()});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, expected.string() + "\t5000\n");
}

TEST_F(FetchCommandTest, FailuresExitWithTheCatalogueMessage) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // exact message; "" accepts any
    };
    const std::vector<Case> table = {
        {fetch("nope", {"--allow-host", "localhost"}), 1,
         "No wallpaper in manifest for id nope.\n"},
        {fetch("clip"), 1, "This wallpaper source is not allowed.\n"},
        {fetch("clip", {"--allow-host=example.com"}), 1, "This wallpaper source is not allowed.\n"},
        {fetch("forged", {"--allow-host", "localhost"}), 1,
         "The downloaded wallpaper could not be verified.\n"},
        {{"fetch", "--manifest", (directory / "absent.json").string(), "clip"}, 1, ""},
        {{"fetch", "clip"}, 2, ""},
        {{"fetch", "--manifest", manifest.string(), "--bogus", "clip"}, 2, ""},
        {{"cache", "purge"}, 2, ""},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Outcome run = lumivo(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_FALSE(run.err.empty());
        EXPECT_TRUE(c.err.empty() || run.err == c.err) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(treeOf(cache), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace lumivo
