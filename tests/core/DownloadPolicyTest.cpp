#include <gtest/gtest.h>

#include "AcquisitionFixtures.hpp"
#include "DownloadPolicy.hpp"

namespace lumivo {
namespace {

using test::thrownBy;
using test::videoRecord;

const std::string goodDigest(64, 'a');

struct Case {
    const char* name;
    std::string url;
    std::string format;
    std::int64_t bytes;
    std::string sha256;
    std::optional<HelperError> expected;
};

TEST(DownloadPolicy, AppliesTheChecksInOrderAndReportsTheFirstBroken) {
    const DownloadPolicy policy({"lumivo.app"}, 1000);
    const std::string ok = "https://lumivo.app/v/aurora.mp4";
    const std::vector<Case> table = {
        {"acceptable record", ok, "mp4", 1000, goodDigest, std::nullopt},
        {"http to a foreign host: scheme first", "http://evil.example/a.mp4", "mov", 0, "x",
         HelperError::unsupportedDownloadScheme()},
        {"scheme in capitals", "HTTPS://lumivo.app/a.mp4", "mp4", 1, goodDigest,
         HelperError::unsupportedDownloadScheme()},
        {"no scheme at all", "/v/aurora.mp4", "mp4", 1, goodDigest,
         HelperError::unsupportedDownloadScheme()},
        {"subdomain of an allowed host", "https://cdn.lumivo.app/a.mp4", "mp4", 1, goodDigest,
         HelperError::disallowedDownloadHost("cdn.lumivo.app")},
        {"host in other letter case", "https://Lumivo.App/a.mp4", "mp4", 1, goodDigest,
         HelperError::disallowedDownloadHost("Lumivo.App")},
        {"no host", "https:/a.mp4", "mp4", 1, goodDigest,
         HelperError::disallowedDownloadHost(std::nullopt)},
        {"foreign host before bad format and size", "https://evil.example/a.mov", "mov", 0, "",
         HelperError::disallowedDownloadHost("evil.example")},
        {"allowed host with a port", "https://lumivo.app:8443/a.mp4", "mp4", 1, goodDigest,
         std::nullopt},
        {"extension and format in capitals", "https://lumivo.app/A.MP4", "MP4", 1, goodDigest,
         std::nullopt},
        {"query after .mp4", "https://lumivo.app/a.mp4?v=2#t", "mp4", 1, goodDigest, std::nullopt},
        {".mp4 only in the query", "https://lumivo.app/a.mov?f=b.mp4", "mp4", 1, goodDigest,
         HelperError::badDownloadFormat()},
        {"no extension", "https://lumivo.app/video", "mp4", 1, goodDigest,
         HelperError::badDownloadFormat()},
        {"declared format mov", ok, "mov", 1, goodDigest, HelperError::badDownloadFormat()},
        {"format before size", ok, "webm", -5, "", HelperError::badDownloadFormat()},
        {"zero bytes", ok, "mp4", 0, goodDigest, HelperError::badDownloadSize()},
        {"negative bytes", ok, "mp4", -1, goodDigest, HelperError::badDownloadSize()},
        {"one past the limit", ok, "mp4", 1001, goodDigest, HelperError::badDownloadSize()},
        {"size before digest", ok, "mp4", 1001, "nonsense", HelperError::badDownloadSize()},
        {"bad digest last", ok, "mp4", 1, "nonsense", HelperError::badChecksum()},
    };
    for (const Case& c : table) {
        const auto record = videoRecord(c.url, c.sha256, "aurora", c.bytes, c.format);
        EXPECT_EQ(thrownBy([&] { policy.validate(record); }), c.expected) << c.name;
    }
}

TEST(DownloadPolicy, CountsDigestCharactersAsUserPerceivedAndAcceptsAnyNumeric) {
    const DownloadPolicy policy({"lumivo.app"}, DownloadPolicy::defaultMaxBytes);
    const std::string a63(63, 'a');
    const std::vector<std::pair<std::string, bool>> table = {
        {std::string(64, 'f'), true},
        {std::string(64, 'F'), true},
        {"0123456789abcdefABCDEF" + std::string(42, '9'), true},
        {a63, false},
        {a63 + "aa", false},
        {a63 + "g", false},
        {a63 + " ", false},
        {std::string(64, '\0'), false},
        {a63 + "\xD9\xA3", true},       // ARABIC-INDIC DIGIT THREE
        {a63 + "\xC2\xBD", true},       // VULGAR FRACTION ONE HALF
        {a63 + "\xE2\x85\xAB", true},   // ROMAN NUMERAL TWELVE
        {a63 + "1\xCC\x81", true},      // digit + combining accent: one character
        {a63 + "a\xCC\x81", false},     // a + combining accent is not the letter a
        {a63 + "\xEF\xBD\x81", false},  // FULLWIDTH LATIN SMALL LETTER A
        {a63 + "\xFF", false},          // malformed UTF-8
        {std::string(62, 'a') + "\xD9\xA3\xD9\xA3", true},
    };
    for (const auto& [digest, accepted] : table) {
        const auto record = videoRecord("https://lumivo.app/a.mp4", digest);
        const auto refusal = thrownBy([&] { policy.validate(record); });
        EXPECT_EQ(refusal, accepted ? std::nullopt : std::optional(HelperError::badChecksum()))
            << "digest of " << digest.size() << " bytes ending in '" << digest.substr(60) << "'";
    }
}

TEST(DownloadPolicy, DegeneratePoliciesRefuseEveryRecord) {
    const auto record = videoRecord("https://lumivo.app/a.mp4", goodDigest, "aurora", 1);
    EXPECT_EQ(thrownBy([&] { DownloadPolicy({}, 1000).validate(record); }),
              HelperError::disallowedDownloadHost("lumivo.app"));
    EXPECT_EQ(thrownBy([&] { DownloadPolicy({"lumivo.app"}, 0).validate(record); }),
              HelperError::badDownloadSize());
    EXPECT_EQ(DownloadPolicy::defaultMaxBytes, 300 * 1024 * 1024);
}

}  // namespace
}  // namespace lumivo
