#include <gtest/gtest.h>

#include <variant>

#include "AcquisitionFixtures.hpp"
#include "AssetGuard.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::writeFile;

using Outcome = std::variant<fs::path, HelperError>;

class AssetGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(assets);
        fs::create_directories(directory / "outside");
        fs::create_directories(directory / "project/web/assets/wallpapers-evil");
        for (const char* name : {"ocean.mp4", "OCEAN.MP4", "real.mov", "noext"}) {
            writeFile(assets / name, "video");
        }
        writeFile(directory / "outside/real.mp4", "video");
        writeFile(directory / "project/web/assets/wallpapers-evil/x.mp4", "video");
        fs::create_directory(assets / "dir.mp4");
        fs::create_symlink(directory / "outside/real.mp4", assets / "out.mp4");
        fs::create_symlink(directory / "outside/nothing.mp4", assets / "dangling.mp4");
        fs::create_symlink("real.mov", assets / "tomov.mp4");
        fs::create_symlink("../wallpapers-evil/x.mp4", assets / "sibling.mp4");
        fs::create_symlink("ocean.mp4", assets / "inside.mp4");
        fs::create_symlink("loop.mp4", assets / "loop.mp4");
        fs::create_symlink(directory / "outside/real.mov", assets / "outmov.mp4");
    }

    Outcome resolve(const AssetGuard& guard, const std::string& videoUrl) {
        try {
            return guard.videoURL(test::videoRecord(videoUrl, std::string(64, 'a')));
        } catch (const HelperError& error) {
            return error;
        }
    }

    test::TemporaryDirectory directory;
    fs::path project = directory / "project";
    fs::path assets = directory / "project/web/assets/wallpapers";
};

TEST_F(AssetGuardTest, ResolvesOnlyReadableMP4FilesDirectlyInsideTheAssetRoot) {
    const AssetGuard guard(project, project / "web", assets, FileManager::standard());
    const fs::path ocean = assets / "ocean.mp4";
    const std::vector<std::pair<std::string, Outcome>> table = {
        {"/assets/wallpapers/ocean.mp4", ocean},
        {"https://anywhere.example/assets/wallpapers/ocean.mp4?x=1", ocean},
        {"/assets/wallpapers/2024/05/ocean.mp4", ocean},
        {"/assets/wallpapers/inside.mp4", ocean},
        {"/assets/wallpapers/OCEAN.MP4", assets / "OCEAN.MP4"},
        {"/media/ocean.mp4", HelperError::missingPath()},
        {"/assets/ocean.mp4", HelperError::missingPath()},
        {"/assets/wallpapers/", HelperError::missingPath()},
        {"/Assets/wallpapers/ocean.mp4", HelperError::missingPath()},
        {"/assets/wallpapers/real.mov", HelperError::badExtension()},
        {"/assets/wallpapers/noext", HelperError::badExtension()},
        {"/assets/wallpapers/..", HelperError::badExtension()},
        {"/assets/wallpapers/tomov.mp4", HelperError::badExtension()},
        // Extension is judged before containment.
        {"/assets/wallpapers/outmov.mp4", HelperError::badExtension()},
        {"/assets/wallpapers/out.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/dangling.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/sibling.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/..%2F..%2F..%2Foutside%2Freal.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/%2Ftmp%2Fx.mp4", HelperError::unreadableFile()},
        {"/assets/wallpapers/missing.mp4", HelperError::unreadableFile()},
        {"/assets/wallpapers/dir.mp4", HelperError::unreadableFile()},
        {"/assets/wallpapers/loop.mp4", HelperError::unreadableFile()},
        // A NUL would cut the name short at the system call and reach ocean.mp4.
        {"/assets/wallpapers/ocean.mp4%00.mp4", HelperError::unreadableFile()},
    };
    for (const auto& [url, expected] : table) {
        EXPECT_EQ(resolve(guard, url), expected) << url;
    }
}

TEST_F(AssetGuardTest, ComparesRootsAfterResolvingTheirLinksAndDots) {
    fs::create_directory_symlink(assets, directory / "linked-assets");
    const AssetGuard linked(project, project / "web", directory / "linked-assets",
                            FileManager::standard());
    EXPECT_EQ(linked.assetRoot(), assets);
    EXPECT_EQ(resolve(linked, "/assets/wallpapers/ocean.mp4"), Outcome(assets / "ocean.mp4"));

    const AssetGuard dotted(project / "./web/..", project / "web//", assets / "../wallpapers/.",
                            FileManager::standard());
    EXPECT_EQ(dotted.projectRoot(), project);
    EXPECT_EQ(dotted.webPublicRoot(), project / "web");
    EXPECT_EQ(resolve(dotted, "/assets/wallpapers/ocean.mp4"), Outcome(assets / "ocean.mp4"));
}

TEST_F(AssetGuardTest, TheAssetRootItselfIsNotInsideIt) {
    const fs::path clips = directory / "clips.mp4";
    fs::create_directory(clips);
    const AssetGuard guard(project, project / "web", clips, FileManager::standard());
    EXPECT_EQ(resolve(guard, "/assets/wallpapers/."), Outcome(HelperError::outsideAssetRoot()));
}

}  // namespace
}  // namespace lumivo
