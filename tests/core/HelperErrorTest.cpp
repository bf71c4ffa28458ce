#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "HelperConstants.hpp"
#include "HelperError.hpp"

namespace lumivo {
namespace {

struct CatalogueEntry {
    HelperError error;
    const char* message;
};

const std::vector<CatalogueEntry> catalogue = {
    {HelperError::unknownAction("play"), "Unknown action: play."},
    {HelperError::unknownAction(""), "Unknown action: ."},
    {HelperError::manifestLoadFailed("HTTP 404"), "Could not read wallpaper manifest: HTTP 404"},
    {HelperError::duplicateManifestID("abc"), "Wallpaper manifest has a duplicate id: abc."},
    {HelperError::missingRecord("abc"), "No wallpaper in manifest for id abc."},
    {HelperError::disallowedDownloadHost("evil.example"), "This wallpaper source is not allowed."},
    {HelperError::disallowedDownloadHost(std::nullopt), "This wallpaper source is not allowed."},
    {HelperError::cacheFailed("%s disk full"), "Wallpaper cache failed: %s disk full"},
    {HelperError::downloadFailed("Download did not complete."),
     "Wallpaper download failed: Download did not complete."},
    {HelperError::badURL(), "Invalid lumivo URL."},
    {HelperError::emptyManifest(), "Wallpaper manifest is empty."},
    {HelperError::badID(), "Invalid wallpaper id."},
    {HelperError::unsupportedDownloadScheme(), "Wallpaper download must use HTTPS."},
    {HelperError::badDownloadFormat(), "Only MP4 wallpapers are allowed."},
    {HelperError::badDownloadSize(), "Wallpaper file size is not allowed."},
    {HelperError::badChecksum(), "Wallpaper checksum is invalid."},
    {HelperError::checksumMismatch(), "The downloaded wallpaper could not be verified."},
    {HelperError::missingPath(), "Wallpaper record has no local MP4 path."},
    {HelperError::badExtension(), "Only .mp4 files are allowed."},
    {HelperError::outsideAssetRoot(), "Resolved file is outside the allowed asset directory."},
    {HelperError::unreadableFile(), "Wallpaper file does not exist or is not readable."},
    {HelperError::noMainScreen(), "No main screen is available."},
};

TEST(HelperError, EveryCaseHasItsCatalogueMessageAndNoOtherTexts) {
    std::set<HelperError::Case> cases;
    for (const auto& [error, message] : catalogue) {
        SCOPED_TRACE(message);
        cases.insert(error.kind());
        EXPECT_EQ(error.errorDescription(), message);
        EXPECT_STREQ(error.what(), message);
        EXPECT_EQ(localizedDescription(error), message);
        EXPECT_FALSE(error.failureReason() || error.recoverySuggestion() || error.helpAnchor());
    }
    EXPECT_EQ(cases.size(), 20u);
    EXPECT_EQ(localizedDescription(std::runtime_error("plain")), "plain");
}

TEST(HelperError, EqualityComparesCaseAndPayload) {
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        for (std::size_t j = 0; j < catalogue.size(); ++j) {
            EXPECT_EQ(catalogue[i].error == catalogue[j].error, i == j) << i << " vs " << j;
        }
    }
    EXPECT_EQ(HelperError::disallowedDownloadHost(std::nullopt),
              HelperError::disallowedDownloadHost(std::nullopt));
    EXPECT_EQ(HelperError::missingRecord("a"), HelperError::missingRecord("a"));
    EXPECT_NE(HelperError::missingRecord("a"), HelperError::duplicateManifestID("a"));
}

TEST(HelperConstants, ManifestEndpointIsBuiltOnceAndSharedAcrossThreads) {
    std::vector<const Url*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) {
        threads.emplace_back([&slot] { slot = &HelperConstants::manifestEndpoint(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const Url* url : seen) {
        EXPECT_EQ(url, seen.front());
    }
    EXPECT_EQ(seen.front()->absoluteString(),
              "https://" + std::string(HelperConstants::webOrigin()) + "/api/wallpapers.json");
    EXPECT_EQ(HelperConstants::urlScheme, "lumivo");
    EXPECT_EQ(HelperConstants::appName, "Lumivo Helper");
}

}  // namespace
}  // namespace lumivo
