#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

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

// Every case once, with its exact text through each way it is shown; errors
// are equal only with the same case and payload (the table holds pairs that
// share one of the two).
TEST(HelperError, EveryCaseHasItsCatalogueMessage) {
    std::set<HelperError::Case> cases;
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const auto& [error, message] = catalogue[i];
        cases.insert(error.kind());
        EXPECT_EQ(error.errorDescription(), message);
        EXPECT_STREQ(error.what(), message);
        EXPECT_EQ(localizedDescription(error), message);
        for (std::size_t j = 0; j < catalogue.size(); ++j) {
            EXPECT_EQ(error == catalogue[j].error, i == j) << message << " vs " << j;
        }
    }
    EXPECT_EQ(cases.size(), 20u);
    EXPECT_EQ(localizedDescription(std::runtime_error("plain")), "plain");
}

}  // namespace
}  // namespace lumivo
