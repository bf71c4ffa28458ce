#include <gtest/gtest.h>
#include <unistd.h>

#include <QObject>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "AppFakes.hpp"
#include "ApplyResolution.hpp"
#include "ResolverSetup.hpp"

namespace lumivo {
namespace {

using namespace lumivo::test;
namespace fs = std::filesystem;

// An installed helper's resolution (no checkout) over a cache of its own,
// with the fakes counting manifest loads and downloads.
struct Resolution {
    Resolution() {
        root = fs::canonical(fs::temp_directory_path()) /
               ("lumivo-resolution-test-" + std::to_string(::getpid()));
        fs::remove_all(root);
        ::setenv("XDG_CACHE_HOME", root.c_str(), 1);
        resolver.emplace(resolverSetup(HelperLocations::fromProjectRoot({}),
                                       std::make_unique<Fake>(w), std::make_unique<Fake>(w),
                                       std::make_unique<Fake>(w), &files));
        applies.emplace(
            &context, *resolver, worker, nullptr,
            [this](const std::string& line) { lines.push_back(line); },
            [](const std::string&, int) {});
    }
    ~Resolution() {
        applies.reset();
        fs::remove_all(root);
    }

    // Resolves `entry` from its file and waits for the outcome; true when
    // the apply ended as a cancelled one.
    bool resolve(const LastWallpaper& entry, bool orGallery) {
        std::optional<bool> cancelled;
        applies->resolve(entry.id, ApplyResolution::FromFile{entry, orGallery}, {},
                         [&](const Outcome<ResolvedWallpaper>&, bool c) { cancelled = c; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return cancelled.has_value(); }, 10000));
        return cancelled.value_or(false);
    }

    fs::path root;
    World w;
    Files files{w};
    QObject context;
    BlockingWorker worker;
    std::optional<WallpaperResolver> resolver;
    std::optional<ApplyResolution> applies;
    std::vector<std::string> lines;
};

TEST(ApplyResolutionTest, AFileThatFailsItsCheckIsAppliedFromTheGalleryOnlyWhenTheUserChoseIt) {
    Resolution r;
    const fs::path gone = r.resolver->cacheRoot() / "gone-abc.mp4";
    const LastWallpaper entry{"gone", "Gone", gone, "abc", 11, std::nullopt};

    // A change of the rotation: one line, no manifest, no download, no outcome.
    EXPECT_TRUE(r.resolve(entry, false));
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], "Cannot play Gone from its file: " + gone.string() +
                              " is gone. The wallpaper stays as it is.");
    EXPECT_EQ(r.w.manifestLoads, 0);
    EXPECT_EQ(r.w.downloads, 0);

    // The user's choice from the menu: the gallery's apply follows.
    EXPECT_FALSE(r.resolve(entry, true));
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[1], "Cannot play Gone from its file: " + gone.string() +
                              " is gone. Applying it from the gallery.");
    EXPECT_EQ(r.w.manifestLoads, 1);
}

}  // namespace
}  // namespace lumivo
