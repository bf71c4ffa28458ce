#include <gtest/gtest.h>

#include "CoreFixtures.hpp"
#include "DownloadPolicy.hpp"

namespace lumivo {
namespace {

const std::string a63(63, 'a');
const auto scheme = HelperError::unsupportedDownloadScheme();
const auto format = HelperError::badDownloadFormat();
const auto size = HelperError::badDownloadSize();
const auto digest = HelperError::badChecksum();

HelperError host(std::optional<std::string> name) {
    return HelperError::disallowedDownloadHost(std::move(name));
}

// A record that passes, but for the fields a row names.
struct Case {
    const char* name;
    std::string url = "https://lumivo.app/v/aurora.mp4";
    std::string format = "mp4";
    std::int64_t bytes = 1000;
    std::string sha256 = a63 + "a";
    std::optional<HelperError> expected = std::nullopt;
};

class DownloadPolicyTest : public testing::TestWithParam<Case> {};

TEST_P(DownloadPolicyTest, ReportsTheFirstBrokenCheckInOrder) {
    const Case& c = GetParam();
    const DownloadPolicy policy({"lumivo.app"}, 1000);
    const auto record = test::videoRecord(c.url, c.sha256, "aurora", c.bytes, c.format);
    EXPECT_EQ(test::thrownBy([&] { policy.validate(record); }), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DownloadPolicy, DownloadPolicyTest,
    testing::Values(
        Case{.name = "AtTheSizeLimit"},
        // Each check comes before the ones after it.
        Case{.name = "SchemeFirst",
             .url = "http://evil.example/a.mov",
             .format = "mov",
             .bytes = 0,
             .expected = scheme},
        Case{.name = "HostSecond",
             .url = "https://evil.example/a.mov",
             .format = "mov",
             .bytes = 0,
             .expected = host("evil.example")},
        Case{
            .name = "FormatThird", .format = "webm", .bytes = -5, .sha256 = "", .expected = format},
        Case{.name = "SizeFourth", .bytes = 1001, .sha256 = "x", .expected = size},
        Case{.name = "UpperCaseScheme", .url = "HTTPS://lumivo.app/a.mp4", .expected = scheme},
        Case{.name = "Subdomain",
             .url = "https://cdn.lumivo.app/a.mp4",
             .expected = host("cdn.lumivo.app")},
        Case{.name = "UserInfoIsNotTheHost",
             .url = "https://lumivo.app@evil.example/a.mp4",
             .expected = host("evil.example")},
        Case{.name = "NoHost", .url = "https:/a.mp4", .expected = host(std::nullopt)},
        Case{.name = "PortQueryFragmentAndCase",
             .url = "https://lumivo.app:8443/A.MP4?v=2#t",
             .format = "MP4"},
        Case{.name = "ExtensionOfThePath",
             .url = "https://lumivo.app/a.mov?f=b.mp4",
             .expected = format},
        Case{.name = "DeclaredFormat", .format = "mov", .expected = format},
        Case{.name = "ZeroBytes", .bytes = 0, .expected = size},
        Case{.name = "NegativeBytes", .bytes = -1, .expected = size},
        // The digest is 64 user-perceived characters, each a hex letter or numeric.
        Case{.name = "MixedCaseHex",
             .sha256 = std::string("0123456789abcdefABCDEF").append(42, '9')},
        Case{.name = "ShortDigest", .sha256 = a63, .expected = digest},
        Case{.name = "LongDigest", .sha256 = a63 + "aa", .expected = digest},
        Case{.name = "NotHex", .sha256 = a63 + "g", .expected = digest},
        Case{.name = "NulBytes", .sha256 = std::string(64, '\0'), .expected = digest},
        Case{.name = "ArabicIndicDigit", .sha256 = a63 + "\xD9\xA3"},
        Case{.name = "VulgarFraction", .sha256 = a63 + "\xC2\xBD"},
        Case{.name = "DigitWithCombiningAccent", .sha256 = a63 + "1\xCC\x81"},
        Case{.name = "LetterWithCombiningAccent", .sha256 = a63 + "a\xCC\x81", .expected = digest},
        Case{.name = "FullwidthLetter", .sha256 = a63 + "\xEF\xBD\x81", .expected = digest},
        Case{.name = "MalformedUTF8", .sha256 = a63 + "\xFF", .expected = digest}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
