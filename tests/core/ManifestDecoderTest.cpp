#include <gtest/gtest.h>

#include "CoreFixtures.hpp"
#include "ManifestDecoder.hpp"
#include "ManifestDecodingError.hpp"

namespace lumivo {
namespace {

using test::recordObject;

// The decoding error text, or "" when the document decodes.
std::string decodingError(const std::string& json) {
    try {
        ManifestDecoder::decode(json);
        return "";
    } catch (const ManifestDecodingError& error) {
        return error.what();
    }
}

// Grammar faults in general are left to the conformance cases below.
TEST(ManifestDecoder, RefusesDocumentsBreakingTheRecordRules) {
    const std::string valid = recordObject("ok");
    auto one = [&](const std::map<std::string, std::string>& overrides) {
        return "[" + valid + "," + recordObject("x", overrides) + "]";
    };
    const std::vector<std::pair<std::string, std::string>> table = {
        {"", "not valid JSON: "},
        {"\xEF\xBB\xBF[]", "not valid JSON: a byte order mark is not allowed"},
        {"{\"wallpapers\":[" + valid + "]}", "the top level must be an array"},
        {"[" + valid + ",[]]", "element 1 must be an object"},
        {one({{"bytes", "\"12\""}}), "element 1: key \"bytes\" must be an integer"},
        {one({{"width", "1e3"}}), "element 1: key \"width\" must be an integer"},
        {one({{"height", "9223372036854775808"}}),
         "element 1: key \"height\" is out of the signed 64-bit range"},
        {one({{"bytes", "1e400"}}), "not valid JSON: "},
        {one({{"duration", "\"12\""}}), "element 1: key \"duration\" must be a number"},
        {one({{"updatedAt", ""}, {"UpdatedAt", "\"x\""}}),
         "element 1: key \"updatedAt\" is missing"},
        {one({{"title", "null"}}), "element 1: key \"title\" must not be null"},
        {one({{"id", "7"}}), "element 1: key \"id\" must be a string"},
        {one({{"videoUrl", "\"\""}}), "element 1: key \"videoUrl\" is not a valid URL"},
        {one({{"thumbnailUrl", "{}"}}),
         "element 1: key \"thumbnailUrl\" must be a string holding a URL"},
        {"[" + valid.substr(0, valid.size() - 1) + ",\"sha256\":\"b\"}]",
         "element 0: key \"sha256\" occurs more than once"},
        // Several faults: the first in field order is reported.
        {one({{"format", "1"}, {"slug", "null"}, {"id", ""}}), "element 1: key \"id\" is missing"},
    };
    for (const auto& [json, expected] : table) {
        const std::string error = decodingError(json);
        EXPECT_TRUE(error.starts_with(expected) && !error.empty()) << json << ": " << error;
    }
}

// Each case is the value of an extra key of a valid record, so only the JSON
// grammar decides: every y_ case must decode, every n_ case fail as invalid JSON.
TEST(JsonConformance, AcceptsEveryValidCaseAndRejectsEveryInvalidOne) {
    std::map<char, int> counts;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(LUMIVO_TEST_DATA) / "jsontestsuite")) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".json") {
            ++counts[name[0]];
            const std::string value = "\n" + test::readFile(entry.path()) + "\n";
            const std::string error =
                decodingError("[" + recordObject("id", {{"extra", value}}) + "]");
            EXPECT_TRUE(name[0] == 'y' ? error.empty() : error.starts_with("not valid JSON"))
                << name << ": " << error;
        }
    }
    EXPECT_EQ(counts, (std::map<char, int>{{'n', 188}, {'y', 95}}));
}

}  // namespace
}  // namespace lumivo
