#include <gtest/gtest.h>

#include <tuple>

#include "ManifestDecoder.hpp"
#include "ManifestDecodingError.hpp"
#include "ManifestFixtures.hpp"

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

TEST(ManifestDecoder, DecodesEveryFieldExactlyInAnyKeyOrder) {
    // Keys reversed, an unknown key repeated, the extremes of every type.
    const auto records = ManifestDecoder::decode(
        R"([{"x":1,"updatedAt":"2024","format":"","height":9223372036854775807,"width":0,)"
        R"("duration":12,"bytes":-9223372036854775808,"sha256":"AB","videoUrl":"https://x.y/v.mp4",)"
        R"("thumbnailUrl":"t.jpg","category":"c","title":"","slug":" Caf\u00e9 \"x\" ",)"
        R"("id":"a","x":[null]}])");
    ASSERT_EQ(records.size(), 1u);
    const auto& r = records[0];
    using namespace std::string_literals;
    EXPECT_EQ(
        std::tie(r.id(), r.slug(), r.title(), r.category(), r.sha256(), r.format(), r.updatedAt()),
        std::make_tuple("a"s, " Caf\xc3\xa9 \"x\" "s, ""s, "c"s, "AB"s, ""s, "2024"s));
    EXPECT_EQ(r.thumbnailUrl().absoluteString(), "t.jpg");
    EXPECT_EQ(r.videoUrl().absoluteString(), "https://x.y/v.mp4");
    EXPECT_EQ(std::make_tuple(r.bytes(), r.duration(), r.width(), r.height()),
              std::make_tuple(INT64_MIN, 12.0, std::int64_t{0}, INT64_MAX));
    EXPECT_TRUE(ManifestDecoder::decode("[]").empty());
}

TEST(ManifestDecoder, RefusesDocumentsBreakingTheRecordRules) {
    const std::string valid = recordObject("ok");
    auto one = [&](const std::map<std::string, std::string>& overrides) {
        return "[" + valid + "," + recordObject("x", overrides) + "]";
    };
    const std::vector<std::pair<std::string, std::string>> table = {
        {"", "not valid JSON: "},
        {" \n", "not valid JSON: "},
        {"\xEF\xBB\xBF[]", "not valid JSON: a byte order mark is not allowed"},
        {"[" + valid + ",]", "not valid JSON: "},
        {"[" + valid + "] // note", "not valid JSON: "},
        {"{\"wallpapers\":[" + valid + "]}", "the top level must be an array"},
        {"[" + valid + ",[]]", "element 1 must be an object"},
        {one({{"bytes", "12.5"}}), "element 1: key \"bytes\" must be an integer"},
        {one({{"bytes", "\"12\""}}), "element 1: key \"bytes\" must be an integer"},
        {one({{"bytes", "1e3"}}), "element 1: key \"bytes\" must be an integer"},
        {one({{"width", "1.0"}}), "element 1: key \"width\" must be an integer"},
        {one({{"height", "9223372036854775808"}}),
         "element 1: key \"height\" is out of the signed 64-bit range"},
        {one({{"bytes", "1e400"}}), "not valid JSON: "},
        {one({{"duration", "NaN"}}), "not valid JSON: "},
        {one({{"duration", "\"12\""}}), "element 1: key \"duration\" must be a number"},
        {one({{"sha256", ""}}), "element 1: key \"sha256\" is missing"},
        {one({{"updatedAt", ""}, {"UpdatedAt", "\"x\""}}),
         "element 1: key \"updatedAt\" is missing"},
        {one({{"title", "null"}}), "element 1: key \"title\" must not be null"},
        {one({{"id", "7"}}), "element 1: key \"id\" must be a string"},
        {one({{"videoUrl", "\"\""}}), "element 1: key \"videoUrl\" is not a valid URL"},
        {one({{"videoUrl", "\"https://x.y/a b.mp4\""}}),
         "element 1: key \"videoUrl\" is not a valid URL"},
        {one({{"thumbnailUrl", "{}"}}),
         "element 1: key \"thumbnailUrl\" must be a string holding a URL"},
        {"[" + valid.substr(0, valid.size() - 1) + ",\"sha256\":\"b\"}]",
         "element 0: key \"sha256\" occurs more than once"},
        // Several faults: the first in field order is reported.
        {one({{"format", "1"}, {"slug", "null"}, {"id", ""}}), "element 1: key \"id\" is missing"},
    };
    for (const auto& [json, expected] : table) {
        const std::string error = decodingError(json);
        EXPECT_EQ(error.substr(0, expected.size()), expected) << json;
        EXPECT_FALSE(error.empty()) << json;
    }
}

}  // namespace
}  // namespace lumivo
