#include <gtest/gtest.h>

#include <variant>

#include "AssetGuard.hpp"
#include "CoreFixtures.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
// A file in the asset root by name, or the error.
using Outcome = std::variant<std::string, HelperError>;

struct Case {
    const char* name;
    std::string url;
    Outcome expected;
};

// The guard is given its asset root through a symbolic link and dots; paths
// come back resolved. One tree for the whole suite.
class AssetGuardTest : public testing::TestWithParam<Case> {
  public:
    static void SetUpTestSuite() {
        directory = new test::TemporaryDirectory;
        const fs::path assets = *directory / "web/assets/wallpapers";
        fs::create_directories(assets);
        fs::create_directories(*directory / "web/assets/wallpapers-evil");
        fs::create_directory(*directory / "outside");
        for (const char* name : {"ocean.mp4", "OCEAN.MP4", "real.mov"}) {
            test::writeFile(assets / name, "video");
        }
        test::writeFile(*directory / "outside/real.mp4", "video");
        test::writeFile(*directory / "web/assets/wallpapers-evil/x.mp4", "video");
        fs::create_directory(assets / "dir.mp4");
        for (const auto& [target, link] : std::vector<std::pair<fs::path, std::string>>{
                 {*directory / "outside/real.mp4", "out.mp4"},
                 {*directory / "outside/nothing.mp4", "dangling.mp4"},
                 {*directory / "outside/real.mov", "outmov.mp4"},
                 {"real.mov", "tomov.mp4"},
                 {"../wallpapers-evil/x.mp4", "sibling.mp4"},
                 {"ocean.mp4", "inside.mp4"},
                 {"loop.mp4", "loop.mp4"}}) {
            fs::create_symlink(target, assets / link);
        }
        fs::create_directory_symlink(assets, *directory / "linked");
    }
    static void TearDownTestSuite() { delete directory; }
    static inline test::TemporaryDirectory* directory = nullptr;
};

TEST_P(AssetGuardTest, ResolvesOnlyReadableMP4FilesDirectlyInsideTheAssetRoot) {
    const AssetGuard guard(directory->path(), *directory / "web", *directory / "linked/../linked/.",
                           FileManager::standard());
    Outcome outcome = HelperError::badURL();
    try {
        const fs::path file =
            guard.videoURL(test::videoRecord(GetParam().url, std::string(64, 'a')));
        EXPECT_EQ(file.parent_path(), *directory / "web/assets/wallpapers");
        outcome = file.filename().string();
    } catch (const HelperError& error) {
        outcome = error;
    }
    EXPECT_EQ(outcome, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    AssetGuard, AssetGuardTest,
    testing::Values(
        Case{"AnyHost", "https://anywhere.example/assets/wallpapers/ocean.mp4?x=1", "ocean.mp4"},
        Case{"OnlyTheFileNameCounts", "/assets/wallpapers/2024/05/ocean.mp4", "ocean.mp4"},
        Case{"LinkInside", "/assets/wallpapers/inside.mp4", "ocean.mp4"},
        Case{"UpperCaseExtension", "/assets/wallpapers/OCEAN.MP4", "OCEAN.MP4"},
        Case{"NoFileName", "/assets/wallpapers/", HelperError::missingPath()},
        Case{"PrefixIsCaseSensitive", "/Assets/wallpapers/ocean.mp4", HelperError::missingPath()},
        Case{"DotDot", "/assets/wallpapers/..", HelperError::badExtension()},
        Case{"LinkToAMov", "/assets/wallpapers/tomov.mp4", HelperError::badExtension()},
        // Extension is judged before containment.
        Case{"LinkOutToAMov", "/assets/wallpapers/outmov.mp4", HelperError::badExtension()},
        Case{"LinkOut", "/assets/wallpapers/out.mp4", HelperError::outsideAssetRoot()},
        Case{"DanglingLinkOut", "/assets/wallpapers/dangling.mp4", HelperError::outsideAssetRoot()},
        Case{"LinkToASibling", "/assets/wallpapers/sibling.mp4", HelperError::outsideAssetRoot()},
        Case{"EncodedDotDot", "/assets/wallpapers/..%2F..%2F..%2Foutside%2Freal.mp4",
             HelperError::outsideAssetRoot()},
        // A decoded "/" cannot restart the path.
        Case{"EncodedSlash", "/assets/wallpapers/%2Ftmp%2Fx.mp4", HelperError::unreadableFile()},
        Case{"Directory", "/assets/wallpapers/dir.mp4", HelperError::unreadableFile()},
        Case{"LinkLoop", "/assets/wallpapers/loop.mp4", HelperError::unreadableFile()},
        // A NUL would cut the name short at the system call and reach ocean.mp4.
        Case{"DecodedNul", "/assets/wallpapers/ocean.mp4%00.mp4", HelperError::unreadableFile()}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
