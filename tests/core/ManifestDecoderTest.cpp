#include <gtest/gtest.h>

#include "ManifestDecoder.hpp"
#include "ManifestDecodingError.hpp"
#include "ManifestFixtures.hpp"

namespace lumivo {
namespace {

using test::manifestWithIds;
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

TEST(ManifestDecoder, DecodesEveryFieldExactly) {
    const auto records =
        ManifestDecoder::decode("[" + recordObject("a") + "," +
                                recordObject("b", {{"extra", "{\"nested\":[null]}"},
                                                   {"title", "\"\""},
                                                   {"slug", "\" Caf\\u00e9 \\\"x\\\" \""},
                                                   {"bytes", "-9223372036854775808"},
                                                   {"width", "0"},
                                                   {"height", "9223372036854775807"},
                                                   {"duration", "12"},
                                                   {"thumbnailUrl", "\"relative/t.jpg\""}}) +
                                "]");
    ASSERT_EQ(records.size(), 2u);
    const auto& a = records[0];
    EXPECT_EQ(a.id(), "a");
    EXPECT_EQ(a.category(), "nature");
    EXPECT_EQ(a.videoUrl().absoluteString(), "https://cdn.example.com/v.mp4");
    EXPECT_EQ(a.sha256(), std::string(64, 'a'));
    EXPECT_EQ(a.bytes(), 1048576);
    EXPECT_EQ(a.duration(), 12.5);
    EXPECT_EQ(a.width(), 1920);
    EXPECT_EQ(a.height(), 1080);
    EXPECT_EQ(a.format(), "mp4");
    EXPECT_EQ(a.updatedAt(), "2024-05-01T10:00:00Z");
    const auto& b = records[1];
    EXPECT_EQ(b.title(), "");
    EXPECT_EQ(b.slug(), " Caf\xc3\xa9 \"x\" ");
    EXPECT_EQ(b.bytes(), INT64_MIN);
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), INT64_MAX);
    EXPECT_EQ(b.duration(), 12.0);
    EXPECT_EQ(b.thumbnailUrl().path(), "relative/t.jpg");
    EXPECT_EQ(decodingError("[]"), "");
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

TEST(ManifestDecoder, IgnoresRepeatedUnknownKeysAndKeyOrder) {
    std::string reversed = "{";
    for (const char* key : {"updatedAt", "format", "height", "width", "duration", "bytes", "sha256",
                            "videoUrl", "thumbnailUrl", "category", "title", "slug", "id"}) {
        reversed += std::string(reversed.size() > 1 ? "," : "") + "\"" + key + "\":" +
                    (std::string(key) == "bytes" || std::string(key) == "width" ||
                             std::string(key) == "height" || std::string(key) == "duration"
                         ? "1"
                         : "\"" + std::string(key) + "\"");
    }
    reversed += ",\"x\":1,\"x\":2}";
    const auto records = ManifestDecoder::decode("[" + reversed + "]");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id(), "id");
    EXPECT_EQ(records[0].updatedAt(), "updatedAt");
}

}  // namespace
}  // namespace lumivo
