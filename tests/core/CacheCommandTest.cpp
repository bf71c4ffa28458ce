#include <gtest/gtest.h>

#include <regex>

#include "CoreFixtures.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::ToolRun;

class CacheCommandTest : public ::testing::Test {
  protected:
    void video(const std::string& name, std::size_t bytes, int minutesAgo) {
        test::writeFile(fs::path(cache) / name, std::string(bytes, 'v'));
        fs::last_write_time(fs::path(cache) / name,
                            fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }
    ToolRun lumivo(const std::vector<std::string>& args) {
        return test::runLumivo(directory.path(), args);
    }

    test::TemporaryDirectory directory;
    std::string cache = directory / "cache";
};

TEST_F(CacheCommandTest, PruneRemovesTheLeastRecentlyAppliedUntilTheLimitAndKeepsTheHelpers) {
    fs::create_directory(cache);
    const int mib = 1 << 20;
    video("oldest-0.mp4", mib, 300);
    video("kept-0.mp4", mib, 400);
    video("old-0.mp4", mib, 200);
    video("new-0.mp4", mib, 1);
    test::writeFile(fs::path(cache) / ".protected", "kept-0.mp4\n");

    EXPECT_EQ(lumivo({"cache", "prune", "--cache-dir", cache, "--limit-mib=2"}),
              ToolRun(0,
                      "Removed " + cache + "/oldest-0.mp4\t1048576\nRemoved " + cache +
                          "/old-0.mp4\t1048576\n",
                      ""));
    EXPECT_EQ(lumivo({"cache", "prune", "--limit-mib", "2", "--cache-dir", cache}),
              ToolRun(0, "", ""));

    const auto [status, out, err] = lumivo({"cache", "list", "--cache-dir", cache});
    EXPECT_EQ(status, 0);
    const std::regex listing(
        cache + "/kept-0.mp4\t1048576\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\tkept\n" + cache +
        "/new-0.mp4\t1048576\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n");
    EXPECT_TRUE(std::regex_match(out, listing)) << out;
}

TEST_F(CacheCommandTest, BadLimitsAndOptionsAreRefusedBeforeAnythingGoes) {
    fs::create_directory(cache);
    video("a-0.mp4", 10, 1);
    for (const char* limit : {"0", "-1", "1.5", "lots", ""}) {
        EXPECT_EQ(lumivo({"cache", "prune", "--cache-dir", cache, "--limit-mib", limit}),
                  ToolRun(1, "", "lumivo: --limit-mib needs a positive whole number of MiB.\n"))
            << limit;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"cache", "list", "--limit-mib", "1"},
          {"cache", "prune", "--limit-mib"},
          {"cache", "prune", "--cache-dir", cache, "--cache-dir", cache}}) {
        EXPECT_EQ(std::get<0>(lumivo(args)), 2);
    }
    EXPECT_TRUE(fs::exists(fs::path(cache) / "a-0.mp4"));
}

}  // namespace
}  // namespace lumivo
