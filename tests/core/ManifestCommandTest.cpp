#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ManifestDecoder.hpp"
#include "ManifestFixtures.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ManifestCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("lumivo-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& json) {
        std::ofstream(dir / name) << json;
    }

    // Runs the lumivo tool in `dir` with `args` (no quotes in them),
    // capturing both streams.
    Outcome lumivo(const std::vector<std::string>& args) {
        std::string command = "cd '" + dir.string() + "' && '" LUMIVO_CLI "'";
        for (const auto& arg : args) {
            command += " '" + arg + "'";
        }
        const int status = std::system((command + " >stdout 2>stderr").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "stdout"),
                slurp(dir / "stderr")};
    }

    fs::path dir;
};

TEST_F(ManifestCommand, ChecksAManifestAndReportsCatalogueMessages) {
    write("good.json", test::manifestWithIds({"a", "b", "c"}));
    write("dup.json", test::manifestWithIds({"a", "abc", "abc"}));
    write("empty.json", "[]");
    const std::string goodURL = "file://" + (dir / "good.json").string();
    const std::vector<std::pair<std::vector<std::string>, Outcome>> table = {
        {{"manifest", "check", "good.json"}, {0, "3 wallpapers\n", ""}},
        {{"manifest", "check", goodURL}, {0, "3 wallpapers\n", ""}},
        {{"manifest", "check", "dup.json"},
         {1, "", "Wallpaper manifest has a duplicate id: abc.\n"}},
        {{"manifest", "check", "empty.json"}, {1, "", "Wallpaper manifest is empty.\n"}},
        {{"manifest", "check", "none.json"},
         {1, "",
          "Could not read wallpaper manifest: " + (dir / "none.json").string() +
              ": No such file or directory\n"}},
        {{"manifest", "lookup", "good.json", "zz"},
         {1, "", "No wallpaper in manifest for id zz.\n"}},
        {{"manifest", "lookup", "dup.json", "a"},
         {1, "", "Wallpaper manifest has a duplicate id: abc.\n"}},
    };
    for (const auto& [args, expected] : table) {
        const Outcome run = lumivo(args);
        EXPECT_EQ(run.status, expected.status) << args[2];
        EXPECT_EQ(run.out, expected.out) << args[2];
        EXPECT_EQ(run.err, expected.err) << args[2];
    }
    for (const auto& usage : std::vector<std::vector<std::string>>{
             {"manifest"}, {"manifest", "check"}, {"manifest", "lookup", "good.json"}, {"nope"}}) {
        EXPECT_EQ(lumivo(usage).status, 2);
    }
}

TEST_F(ManifestCommand, LookupPrintsTheRecordAsOneLineOfJson) {
    const std::string record = test::recordObject(
        "x",
        {{"title", "\"Tab\\there \\\"quoted\\\" back\\\\slash \\u0001 caf\\u00e9 \\ud83c\\udf0a\""},
         {"duration", "0.1"},
         {"bytes", "-9223372036854775808"},
         {"extra", "true"}});
    write("m.json", "[" + record + "]");
    const Outcome run = lumivo({"manifest", "lookup", "m.json", "x"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1);
    EXPECT_EQ(run.out.substr(0, 33), "{\"id\":\"x\",\"slug\":\"slug-x\",\"title\"");
    EXPECT_EQ(run.out.find("extra"), std::string::npos);

    // The printed object decodes back to the same record.
    const auto original = ManifestDecoder::decode("[" + record + "]").at(0);
    const auto printed = ManifestDecoder::decode("[" + run.out + "]").at(0);
    EXPECT_EQ(printed.title(), original.title());
    EXPECT_EQ(printed.title(),
              "Tab\there \"quoted\" back\\slash \x01 caf\xc3\xa9 \xf0\x9f\x8c\x8a");
    EXPECT_EQ(printed.duration(), 0.1);
    EXPECT_EQ(printed.bytes(), INT64_MIN);
    EXPECT_EQ(printed.videoUrl(), original.videoUrl());
    EXPECT_EQ(printed.thumbnailUrl(), original.thumbnailUrl());
    EXPECT_EQ(printed.updatedAt(), original.updatedAt());
}

}  // namespace
}  // namespace lumivo
