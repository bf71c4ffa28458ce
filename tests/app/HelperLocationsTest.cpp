#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "HelperLocations.hpp"
#include "WorkingDirectory.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

// A fresh directory holding what a checkout holds, removed at the end.
struct CheckoutDirectory {
    CheckoutDirectory() {
        std::string pattern = (fs::temp_directory_path() / "lumivo-locations-XXXXXX").string();
        root = fs::canonical(::mkdtemp(pattern.data()));
        fs::create_directories(root / "web/public/api");
        std::ofstream(root / "web/public/api/wallpapers.json") << "[]";
    }
    ~CheckoutDirectory() { fs::remove_all(root); }
    fs::path root;
};

TEST(HelperLocationsTest, AnEmptyRootIsNoCheckoutWhateverTheWorkingDirectoryHolds) {
    CheckoutDirectory directory;
    test::WorkingDirectory inside(directory.root);
    const auto locations = HelperLocations::fromProjectRoot("");
    EXPECT_FALSE(locations.checkout);
    EXPECT_FALSE(locations.hasCheckout(FileManager::standard()));
}

TEST(HelperLocationsTest, ARootNamesTheCheckoutsManifestAndWebRootNormalised) {
    const auto locations = HelperLocations::fromProjectRoot("/srv/gallery/./old/../");
    ASSERT_TRUE(locations.checkout);
    EXPECT_EQ(locations.checkout->projectRoot.absoluteString(), "file:///srv/gallery/");
    EXPECT_EQ(locations.checkout->webPublicRoot.absoluteString(),
              "file:///srv/gallery/web/public/");
    EXPECT_EQ(locations.checkout->localManifestURL.absoluteString(),
              "file:///srv/gallery/web/public/api/wallpapers.json");
}

TEST(HelperLocationsTest, ACheckoutCountsOnlyWhileItsRootExists) {
    std::optional<CheckoutDirectory> directory(std::in_place);
    const auto locations = HelperLocations::fromProjectRoot(directory->root);
    EXPECT_TRUE(locations.hasCheckout(FileManager::standard()));
    directory.reset();
    EXPECT_FALSE(locations.hasCheckout(FileManager::standard()));
}

}  // namespace
}  // namespace lumivo
