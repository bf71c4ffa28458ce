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

const std::string valid = recordObject("ok");

// The parts one after the other. (GCC 12 warns wrongly, with -Wrestrict,
// about "literal" + std::string once inlined in an optimised build.)
std::string join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(part);
    }
    return text;
}

// A valid record, then one with `overrides`.
std::string one(const std::map<std::string, std::string>& overrides) {
    return join({"[", valid, ",", recordObject("x", overrides), "]"});
}

struct Refusal {
    const char* name;
    std::string json;
    std::string error;  // how the error text begins
};

class RecordRules : public testing::TestWithParam<Refusal> {};

// Grammar faults in general are left to the conformance cases below.
TEST_P(RecordRules, RefuseTheDocument) {
    const std::string error = decodingError(GetParam().json);
    EXPECT_TRUE(error.starts_with(GetParam().error) && !error.empty()) << error;
}

INSTANTIATE_TEST_SUITE_P(
    ManifestDecoder, RecordRules,
    testing::Values(
        Refusal{"Empty", "", "not valid JSON: "},
        Refusal{"ByteOrderMark", "\xEF\xBB\xBF[]",
                "not valid JSON: a byte order mark is not allowed"},
        Refusal{"TopLevelObject", join({"{\"wallpapers\":[", valid, "]}"}),
                "the top level must be an array"},
        Refusal{"ElementNotAnObject", join({"[", valid, ",[]]"}), "element 1 must be an object"},
        Refusal{"IntegerAsString", one({{"bytes", "\"12\""}}),
                "element 1: key \"bytes\" must be an integer"},
        Refusal{"IntegerInExponentForm", one({{"width", "1e3"}}),
                "element 1: key \"width\" must be an integer"},
        Refusal{"IntegerOutOfRange", one({{"height", "9223372036854775808"}}),
                "element 1: key \"height\" is out of the signed 64-bit range"},
        Refusal{"NumberOutOfRange", one({{"bytes", "1e400"}}), "not valid JSON: "},
        Refusal{"NumberAsString", one({{"duration", "\"12\""}}),
                "element 1: key \"duration\" must be a number"},
        Refusal{"KeysAreCaseSensitive", one({{"updatedAt", ""}, {"UpdatedAt", "\"x\""}}),
                "element 1: key \"updatedAt\" is missing"},
        Refusal{"Null", one({{"title", "null"}}), "element 1: key \"title\" must not be null"},
        Refusal{"StringAsNumber", one({{"id", "7"}}), "element 1: key \"id\" must be a string"},
        Refusal{"EmptyURL", one({{"videoUrl", "\"\""}}),
                "element 1: key \"videoUrl\" is not a valid URL"},
        Refusal{"URLNotAString", one({{"thumbnailUrl", "{}"}}),
                "element 1: key \"thumbnailUrl\" must be a string holding a URL"},
        Refusal{"RepeatedKey",
                join({"[", valid.substr(0, valid.size() - 1), ",\"sha256\":\"b\"}]"}),
                "element 0: key \"sha256\" occurs more than once"},
        // Several faults: the first in field order is reported.
        Refusal{"FirstFaultInFieldOrder", one({{"format", "1"}, {"slug", "null"}, {"id", ""}}),
                "element 1: key \"id\" is missing"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each case is the value of an extra key of a valid record, so only the JSON
// grammar decides: every y_ case must decode, every n_ case fail as invalid JSON.
TEST(JsonConformance, AcceptsEveryValidCaseAndRejectsEveryInvalidOne) {
    std::map<char, int> counts;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(LUMIVO_TEST_DATA) / "jsontestsuite")) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".json") {
            ++counts[name[0]];
            const std::string value = join({"\n", test::readFile(entry.path()), "\n"});
            const std::string error =
                decodingError(join({"[", recordObject("id", {{"extra", value}}), "]"}));
            EXPECT_TRUE(name[0] == 'y' ? error.empty() : error.starts_with("not valid JSON"))
                << name << ": " << error;
        }
    }
    EXPECT_EQ(counts, (std::map<char, int>{{'n', 188}, {'y', 95}}));
}

}  // namespace
}  // namespace lumivo
