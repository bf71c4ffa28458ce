#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>

#include "CannedResponses.hpp"
#include "CoreFixtures.hpp"

extern char** environ;

namespace lumivo {
namespace {

using test::ToolRun;

class FetchCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::trustTestCertificateAuthority();
        test::serveCannedResponses(server, finished);
        server.server().set_logger([this](const auto&, const auto&) { ++requests; });
        // Sends the headers, then nothing until the test ends.
        server.server().Get("/hold.mp4", [this](const auto&, httplib::Response& response) {
            ++holding;
            response.set_content_provider(1 << 20, "video/mp4", [this](auto, auto, auto&) {
                for (int i = 0; i < 1000 && !finished; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                return false;
            });
        });
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
                            .append(",")
                            .append(record("hold", "/hold.mp4", std::string(64, 'a')))
                            .append("]"));
    }
    void TearDown() override { finished = true; }

    ToolRun lumivo(std::vector<std::string> args) {
        return test::runLumivo(directory.path(), args);
    }
    ToolRun fetch(std::vector<std::string> args) {
        args.insert(args.begin(), {"fetch", "--manifest", manifest, "--cache-dir", cache});
        return lumivo(args);
    }

    // Starts `lumivo fetch ... hold` in the background; stderr goes to `errors`.
    pid_t startHoldingFetch(const std::string& errors) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> args = {LUMIVO_CLI,     "fetch",       "--manifest",
                                         manifest,       "--cache-dir", cache,
                                         "--allow-host", "localhost",   "hold"};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, LUMIVO_CLI, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // The exit status, or 128 + the signal that ended the process.
    static int exitStatus(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Polls `condition` until it holds, for at most ten seconds.
    static bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    const std::string video = test::bodyOf(5000);
    std::atomic<bool> finished = true;
    std::atomic<int> holding = 0;
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
    const auto [status, listing, errors] = lumivo({"cache", "list", "--cache-dir", cache});
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(listing.starts_with(file + "\t5000\t")) << listing;
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

TEST_F(FetchCommandTest, EachStopSignalCancelsTheDownloadAndLeavesNoTemporaryFile) {
    finished = false;
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        const std::string errors = directory / ".errors";
        const int before = holding;
        const pid_t child = startHoldingFetch(errors);
        ASSERT_TRUE(eventually([&] { return holding > before; })) << signal;
        ::kill(child, signal);
        EXPECT_EQ(exitStatus(child), 1) << signal;
        EXPECT_EQ(test::readFile(errors), "Wallpaper download failed: Download was cancelled.\n")
            << signal;
        EXPECT_EQ(test::treeOf(cache), std::vector<std::string>{}) << signal;
    }
}

// The sweep tells a download whose process died from one whose process lives,
// however young both are.
TEST_F(FetchCommandTest, SweepsTheFilesOfAKilledDownloadButNotThoseOfALiveOne) {
    finished = false;
    const pid_t killed = startHoldingFetch(directory / ".killed");
    const pid_t live = startHoldingFetch(directory / ".live");
    ASSERT_TRUE(eventually([&] { return holding == 2; }));
    ::kill(killed, SIGKILL);
    EXPECT_EQ(exitStatus(killed), 128 + SIGKILL);
    EXPECT_EQ(test::treeOf(cache).size(), 4u) << "a lock and a partial file for each";

    EXPECT_EQ(std::get<0>(fetch({"--allow-host", "localhost", "clip"})), 0);
    const auto hidden = [this] {
        auto entries = test::treeOf(cache);
        std::erase_if(entries, [](const std::string& name) { return !name.starts_with("."); });
        return entries;
    };
    EXPECT_EQ(hidden().size(), 2u) << "the live download's lock and partial file";
    // The live owner cleans up after itself, so nothing of the killed one may be left.
    ::kill(live, SIGTERM);
    EXPECT_EQ(exitStatus(live), 1);
    EXPECT_EQ(hidden(), std::vector<std::string>{});
}

TEST_F(FetchCommandTest, BadCacheDirectoriesExitWithAMessageInsteadOfAborting) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"fetch", "--manifest", manifest, "--cache-dir=", "clip"},
             {"fetch", "--manifest", manifest, "--cache-dir", "", "clip"},
             {"cache", "list", "--cache-dir="},
             {"cache", "list", "--cache-dir", ""}}) {
        const auto [status, out, err] = lumivo(args);
        EXPECT_EQ(status, 1) << args[0] << " " << args[args.size() - 2];
        EXPECT_EQ(err, "lumivo: --cache-dir needs a directory.\n");
    }
    // A relative directory from a working directory that was deleted.
    const std::string gone = directory / "gone";
    for (const std::string& command : {"fetch --manifest " + manifest + " --cache-dir cache clip",
                                       std::string("cache list --cache-dir cache")}) {
        const int status = std::system(("mkdir '" + gone + "' && cd '" + gone + "' && rmdir '" +
                                        gone + "' && '" LUMIVO_CLI "' " + command + " 2>'" +
                                        directory.path().string() + "/.err'")
                                           .c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << command;
        EXPECT_TRUE(test::readFile(directory / ".err")
                        .starts_with("lumivo: cannot resolve --cache-dir cache: "))
            << command << ": " << test::readFile(directory / ".err");
    }
}

}  // namespace
}  // namespace lumivo
