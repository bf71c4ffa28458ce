#include <gtest/gtest.h>

#include "Url.hpp"
#include "UrlSyntax.hpp"

namespace lumivo {
namespace {

// The parser and the fast validity scanner agree on each text. How the views
// decode is checked through their users (router, policy, asset guard).
TEST(Url, AcceptsOnlyTextInTheGrammar) {
    for (const char* text :
         {"", " ", "lumivo://apply/a b", "https://x.y/%zz", "https://x.y/%4",
          "lumivo://apply/caf\xc3\xa9", "https://x.y:65536/", "https://x.y:123456/", "https://::1/",
          "lumivo://apply:x/abc", "https://x.y/\x01", "https://[::1/", "/a/%g0",
          "https://x.y/a?b#c#d"}) {
        EXPECT_FALSE(Url::parse(text)) << '"' << text << '"';
        EXPECT_FALSE(isValidUrlReference(text)) << '"' << text << '"';
    }
    for (const char* text :
         {"https://[::1]:65535/v.mp4?x=1#f", "https://u:p@x.y:0//a//b.gz", "lumivo://apply/a%20b/",
          "lumivo:", "lumivo:stop", "/thumbs/a.jpg", "t.jpg"}) {
        EXPECT_EQ(Url::parse(text).value().absoluteString(), text);
        EXPECT_TRUE(isValidUrlReference(text)) << '"' << text << '"';
    }
}

// By text: "x:." once crashed a normalising comparison. A file URL escapes
// what its path needs and reads back equal.
TEST(Url, EqualityComparesTheText) {
    for (const char* text : {"x:.", "lumivo:..", "https://x.y/a/./b"}) {
        EXPECT_EQ(Url::parse(text), Url::parse(text)) << text;
    }
    EXPECT_NE(Url::parse("HTTPS://x.y/a"), Url::parse("https://x.y/a"));
    EXPECT_NE(Url::parse("https://x.y/%61"), Url::parse("https://x.y/a"));
    const Url file = Url::fileURL("/tmp/a b/50%/caf\xc3\xa9.json");
    EXPECT_EQ(file.path(), "/tmp/a b/50%/caf\xc3\xa9.json");
    EXPECT_EQ(Url::parse(file.absoluteString()), file);
}

}  // namespace
}  // namespace lumivo
