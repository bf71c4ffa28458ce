#include <gtest/gtest.h>

#include "Url.hpp"
#include "UrlSyntax.hpp"

namespace lumivo {
namespace {

TEST(Url, RefusesTextOutsideTheGrammar) {
    for (const char* text :
         {"", " ", "lumivo://apply/a b", "https://x.y/%zz", "https://x.y/%4",
          "lumivo://apply/caf\xc3\xa9", "https://x.y:99999/", "https://x.y:65536/",
          "https://x.y:123456/", "https://::1/", "lumivo://apply:x/abc", "https://x.y/\x01",
          "https://[::1/", "/a/%g0", "https://x.y/a?b#c#d"}) {
        EXPECT_FALSE(Url::parse(text)) << '"' << text << '"';
        EXPECT_FALSE(isValidUrlReference(text)) << '"' << text << '"';
    }
}

struct UrlViews {
    const char* text;
    std::optional<std::string> scheme;
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    std::string path;
    std::vector<std::string> components;
    std::string extension;
};

TEST(Url, ViewsFollowTheDecodingRules) {
    const std::vector<UrlViews> table = {
        {"lumivo://apply/a%20b/", "lumivo", "apply", {}, "/a b", {"/", "a b"}, ""},
        {"LUMIVO://Ping", "LUMIVO", "Ping", {}, "", {}, ""},
        {"https://[::1]:65535/v.mp4?x=1#f", "https", "::1", 65535, "/v.mp4", {"/", "v.mp4"}, "mp4"},
        {"https://u:p@x.y:0//a//b.tar.gz",
         "https",
         "x.y",
         0,
         "//a//b.tar.gz",
         {"/", "a", "b.tar.gz"},
         "gz"},
        {"lumivo:", "lumivo", {}, {}, "", {}, ""},
        {"lumivo:///stop", "lumivo", {}, {}, "/stop", {"/", "stop"}, ""},
        {"lumivo:stop", "lumivo", {}, {}, "stop", {"stop"}, ""},
        {"/thumbs/a.jpg", {}, {}, {}, "/thumbs/a.jpg", {"/", "thumbs", "a.jpg"}, "jpg"},
        {"file:///tmp/", "file", {}, {}, "/tmp", {"/", "tmp"}, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text);
        const auto url = Url::parse(row.text);
        ASSERT_TRUE(url);
        EXPECT_TRUE(isValidUrlReference(row.text));
        EXPECT_EQ(url->scheme(), row.scheme);
        EXPECT_EQ(url->host(), row.host);
        EXPECT_EQ(url->port(), row.port);
        EXPECT_EQ(url->path(), row.path);
        EXPECT_EQ(url->pathComponents(), row.components);
        EXPECT_EQ(url->pathExtension(), row.extension);
        EXPECT_EQ(url->absoluteString(), row.text);
    }
}

TEST(Url, EqualityComparesTheText) {
    for (const char* text : {"x:.", "lumivo:..", "https://x.y/a/./b"}) {
        EXPECT_EQ(Url::parse(text), Url::parse(text)) << text;
    }
    EXPECT_NE(Url::parse("HTTPS://x.y/a"), Url::parse("https://x.y/a"));
    EXPECT_NE(Url::parse("https://x.y/%61"), Url::parse("https://x.y/a"));
}

TEST(Url, FileURLRoundTripsAPathNeedingEscapes) {
    const Url url = Url::fileURL("/tmp/a b/50%/caf\xc3\xa9.json");
    EXPECT_TRUE(url.isFileURL());
    EXPECT_EQ(url.path(), "/tmp/a b/50%/caf\xc3\xa9.json");
    EXPECT_EQ(Url::parse(url.absoluteString()), url);
}

}  // namespace
}  // namespace lumivo
