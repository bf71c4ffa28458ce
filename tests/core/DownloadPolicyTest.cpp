#include <gtest/gtest.h>

#include "CoreFixtures.hpp"
#include "DownloadPolicy.hpp"

namespace lumivo {
namespace {

const std::string a63(63, 'a');

// A record that passes, but for the fields a row names.
struct Case {
    std::string url = "https://lumivo.app/v/aurora.mp4";
    std::string format = "mp4";
    std::int64_t bytes = 1000;
    std::string sha256 = a63 + "a";
    std::optional<HelperError> expected = std::nullopt;
};

TEST(DownloadPolicy, AppliesTheChecksInOrderAndReportsTheFirstBroken) {
    const DownloadPolicy policy({"lumivo.app"}, 1000);
    const auto scheme = HelperError::unsupportedDownloadScheme();
    const auto host = [](std::optional<std::string> h) {
        return HelperError::disallowedDownloadHost(h);
    };
    const auto format = HelperError::badDownloadFormat();
    const auto size = HelperError::badDownloadSize();
    const auto digest = HelperError::badChecksum();
    const std::vector<Case> table = {
        {},  // at the size limit
        // Each check comes before the ones after it.
        {.url = "http://evil.example/a.mov", .format = "mov", .bytes = 0, .expected = scheme},
        {.url = "https://evil.example/a.mov",
         .format = "mov",
         .bytes = 0,
         .expected = host("evil.example")},
        {.format = "webm", .bytes = -5, .sha256 = "", .expected = format},
        {.bytes = 1001, .sha256 = "x", .expected = size},
        {.url = "HTTPS://lumivo.app/a.mp4", .expected = scheme},
        {.url = "https://cdn.lumivo.app/a.mp4", .expected = host("cdn.lumivo.app")},
        {.url = "https://lumivo.app@evil.example/a.mp4", .expected = host("evil.example")},
        {.url = "https:/a.mp4", .expected = host(std::nullopt)},
        {.url = "https://lumivo.app:8443/A.MP4?v=2#t", .format = "MP4"},
        {.url = "https://lumivo.app/a.mov?f=b.mp4", .expected = format},
        {.format = "mov", .expected = format},
        {.bytes = 0, .expected = size},
        {.bytes = -1, .expected = size},
        // The digest is 64 user-perceived characters, each a hex letter or numeric.
        {.sha256 = "0123456789abcdefABCDEF" + std::string(42, '9')},
        {.sha256 = a63, .expected = digest},
        {.sha256 = a63 + "aa", .expected = digest},
        {.sha256 = a63 + "g", .expected = digest},
        {.sha256 = std::string(64, '\0'), .expected = digest},
        {.sha256 = a63 + "\xD9\xA3"},                          // ARABIC-INDIC DIGIT THREE
        {.sha256 = a63 + "\xC2\xBD"},                          // VULGAR FRACTION ONE HALF
        {.sha256 = a63 + "1\xCC\x81"},                         // digit + combining accent
        {.sha256 = a63 + "a\xCC\x81", .expected = digest},     // not the letter a
        {.sha256 = a63 + "\xEF\xBD\x81", .expected = digest},  // FULLWIDTH LATIN SMALL LETTER A
        {.sha256 = a63 + "\xFF", .expected = digest},          // malformed UTF-8
    };
    for (const Case& c : table) {
        const auto record = test::videoRecord(c.url, c.sha256, "aurora", c.bytes, c.format);
        EXPECT_EQ(test::thrownBy([&] { policy.validate(record); }), c.expected)
            << c.url << ' ' << c.format << ' ' << c.bytes << ' '
            << testing::PrintToString(c.sha256);
    }
}

}  // namespace
}  // namespace lumivo
