#include <gtest/gtest.h>

#include "CoreFixtures.hpp"

namespace lumivo {
namespace {

// Exit status 0 with the answer on stdout, 1 with the catalogue message on
// stderr, 2 with usage on stderr. A lookup prints the record as one line of
// JSON: escaped where JSON requires it, other UTF-8 kept, unknown keys dropped.
TEST(ManifestCommand, ChecksAndLooksUpManifests) {
    const test::TemporaryDirectory dir;
    test::writeFile(dir / "good.json", test::manifestWithIds({"a", "b", "c"}));
    test::writeFile(dir / "dup.json", test::manifestWithIds({"a", "abc", "abc"}));
    test::writeFile(dir / "m.json", std::string("[")
                                        .append(test::recordObject(
                                            "x", {{"title", R"("T\t\"q\" \\ \u0001 caf\u00e9")"},
                                                  {"duration", "0.1"},
                                                  {"bytes", "-9223372036854775808"},
                                                  {"height", "9223372036854775807"},
                                                  {"extra", "true"}}))
                                        .append("]"));
    const std::string printed =
        R"({"id":"x","slug":"s","title":"T\t\"q\" \\ \u0001 caf)"
        "\xc3\xa9"
        R"(","category":"nature","thumbnailUrl":"/t.jpg","videoUrl":"https://cdn.example.com/v.mp4",)"
        R"("sha256":")" +
        std::string(64, 'a') +
        R"(","bytes":-9223372036854775808,"duration":0.1,"width":1920,"height":9223372036854775807,)"
        R"("format":"mp4","updatedAt":"2024-05-01T10:00:00Z"})"
        "\n";
    const std::vector<std::pair<std::vector<std::string>, test::ToolRun>> table = {
        {{"manifest", "check", "good.json"}, {0, "3 wallpapers\n", ""}},
        {{"manifest", "check", std::string("file://").append((dir / "good.json").string())},
         {0, "3 wallpapers\n", ""}},
        {{"manifest", "lookup", "m.json", "x"}, {0, printed, ""}},
        {{"manifest", "check", "dup.json"},
         {1, "", "Wallpaper manifest has a duplicate id: abc.\n"}},
        {{"manifest", "lookup", "good.json", "zz"},
         {1, "", "No wallpaper in manifest for id zz.\n"}},
        {{"manifest", "lookup", "good.json"}, {2, "", "Usage:"}},
        {{"nope"}, {2, "", "lumivo: unknown command 'nope'"}},
    };
    for (const auto& [args, expected] : table) {
        auto [status, out, err] = test::runLumivo(dir.path(), args);
        if (status == 2) {  // only the start of a usage message is compared
            err.resize(std::min(err.size(), std::get<2>(expected).size()));
        }
        EXPECT_EQ(std::tie(status, out, err), expected) << testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace lumivo
