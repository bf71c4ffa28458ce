#include <gtest/gtest.h>

#include <variant>

#include "AssetGuard.hpp"
#include "CoreFixtures.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using Outcome = std::variant<fs::path, HelperError>;

// The guard is given its asset root through a symbolic link and dots; paths
// come back resolved.
TEST(AssetGuard, ResolvesOnlyReadableMP4FilesDirectlyInsideTheAssetRoot) {
    const test::TemporaryDirectory directory;
    const fs::path assets = directory / "web/assets/wallpapers";
    fs::create_directories(assets);
    fs::create_directories(directory / "web/assets/wallpapers-evil");
    fs::create_directory(directory / "outside");
    for (const char* name : {"ocean.mp4", "OCEAN.MP4", "real.mov"}) {
        test::writeFile(assets / name, "video");
    }
    test::writeFile(directory / "outside/real.mp4", "video");
    test::writeFile(directory / "web/assets/wallpapers-evil/x.mp4", "video");
    fs::create_directory(assets / "dir.mp4");
    for (const auto& [target, link] : std::vector<std::pair<fs::path, std::string>>{
             {directory / "outside/real.mp4", "out.mp4"},
             {directory / "outside/nothing.mp4", "dangling.mp4"},
             {directory / "outside/real.mov", "outmov.mp4"},
             {"real.mov", "tomov.mp4"},
             {"../wallpapers-evil/x.mp4", "sibling.mp4"},
             {"ocean.mp4", "inside.mp4"},
             {"loop.mp4", "loop.mp4"}}) {
        fs::create_symlink(target, assets / link);
    }
    fs::create_directory_symlink(assets, directory / "linked");
    const AssetGuard guard(directory.path(), directory / "web", directory / "linked/../linked/.",
                           FileManager::standard());

    const fs::path ocean = assets / "ocean.mp4";
    const std::vector<std::pair<std::string, Outcome>> table = {
        {"https://anywhere.example/assets/wallpapers/ocean.mp4?x=1", ocean},
        {"/assets/wallpapers/2024/05/ocean.mp4", ocean},
        {"/assets/wallpapers/inside.mp4", ocean},
        {"/assets/wallpapers/OCEAN.MP4", assets / "OCEAN.MP4"},
        {"/assets/wallpapers/", HelperError::missingPath()},
        {"/Assets/wallpapers/ocean.mp4", HelperError::missingPath()},
        {"/assets/wallpapers/..", HelperError::badExtension()},
        {"/assets/wallpapers/tomov.mp4", HelperError::badExtension()},
        // Extension is judged before containment.
        {"/assets/wallpapers/outmov.mp4", HelperError::badExtension()},
        {"/assets/wallpapers/out.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/dangling.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/sibling.mp4", HelperError::outsideAssetRoot()},
        {"/assets/wallpapers/..%2F..%2F..%2Foutside%2Freal.mp4", HelperError::outsideAssetRoot()},
        // A decoded "/" cannot restart the path.
        {"/assets/wallpapers/%2Ftmp%2Fx.mp4", HelperError::unreadableFile()},
        {"/assets/wallpapers/dir.mp4", HelperError::unreadableFile()},
        {"/assets/wallpapers/loop.mp4", HelperError::unreadableFile()},
        // A NUL would cut the name short at the system call and reach ocean.mp4.
        {"/assets/wallpapers/ocean.mp4%00.mp4", HelperError::unreadableFile()},
    };
    for (const auto& [url, expected] : table) {
        Outcome outcome = HelperError::badURL();
        try {
            outcome = guard.videoURL(test::videoRecord(url, std::string(64, 'a')));
        } catch (const HelperError& error) {
            outcome = error;
        }
        EXPECT_EQ(outcome, expected) << url;
    }
}

}  // namespace
}  // namespace lumivo
