#include <gtest/gtest.h>

#include <set>

#include "CacheFolder.hpp"
#include "CoreFixtures.hpp"
#include "HelperError.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;

// The real file system, with removals of chosen names failing as a busy file
// or a read-only folder would make them.
struct StubbornFiles : FileManager {
    std::set<std::string> stuck;
    void deleteFile(const fs::path& path) const override {
        if (stuck.contains(path.filename().string())) {
            throw std::system_error(EROFS, std::generic_category(),
                                    "Could not remove " + path.string());
        }
        FileManager::deleteFile(path);
    }
};

class CacheFolderTest : public ::testing::Test {
  protected:
    // A video of `bytes` applied `minutesAgo`.
    void video(const std::string& name, std::size_t bytes, int minutesAgo) {
        test::writeFile(directory / name, std::string(bytes, 'v'));
        fs::last_write_time(directory / name,
                            fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }

    test::TemporaryDirectory directory;
    StubbornFiles files;
    CacheFolder folder{directory.path(), files};
};

TEST_F(CacheFolderTest, PruneRemovesTheLeastRecentlyAppliedVideosAndNothingElse) {
    video("oldest.mp4", 300, 90);
    video("old.mp4", 300, 60);
    video("kept.mp4", 300, 120);
    video("new.mp4", 300, 1);
    video("notes.txt", 5000, 500);            // not a video: never counted or touched
    video(".clip-0123.download", 5000, 500);  // a download in progress
    folder.protect({directory / "kept.mp4", "/elsewhere/new.mp4"});

    const auto removed = folder.prune(700);
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(removed[0].path, directory / "oldest.mp4");
    EXPECT_EQ(removed[1].path, directory / "old.mp4");
    EXPECT_EQ(removed[1].bytes, 300);
    EXPECT_FALSE(removed[0].failure || removed[1].failure);
    EXPECT_EQ(test::treeOf(directory.path()),
              (std::vector<std::string>{".clip-0123.download", ".protected", "kept.mp4", "new.mp4",
                                        "notes.txt"}));
    EXPECT_TRUE(folder.prune(700).empty()) << "within the limit now";
}

TEST_F(CacheFolderTest, AFailedRemovalKeepsTheFileAndTheNextInLineGoes) {
    video("busy.mp4", 300, 90);
    video("old.mp4", 300, 60);
    video("new.mp4", 300, 1);
    files.stuck = {"busy.mp4"};

    const auto removed = folder.prune(600);
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(removed[0].path, directory / "busy.mp4");
    ASSERT_TRUE(removed[0].failure);
    EXPECT_NE(removed[0].failure->find("Read-only file system"), std::string::npos);
    EXPECT_EQ(removed[1].path, directory / "old.mp4");
    EXPECT_FALSE(removed[1].failure);
    EXPECT_EQ(test::readFile(directory / "busy.mp4"), std::string(300, 'v')) << "whole";
    EXPECT_TRUE(fs::exists(directory / "new.mp4"));
}

TEST_F(CacheFolderTest, MarkAppliedMovesAVideoToTheBackOfTheLine) {
    video("a.mp4", 300, 90);
    video("b.mp4", 300, 60);
    ASSERT_TRUE(folder.markApplied(directory / "a.mp4"));
    const auto removed = folder.prune(300);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].path, directory / "b.mp4");
    EXPECT_FALSE(folder.markApplied(directory / "gone.mp4"));
}

TEST_F(CacheFolderTest, TheKeptListIsReplacedWholeOrNotAtAll) {
    video("a.mp4", 300, 90);
    video("b.mp4", 300, 60);
    folder.protect({directory / "a.mp4"});
    EXPECT_EQ(folder.protectedNames(), (std::set<std::string>{"a.mp4"}));
    folder.protect({directory / "b.mp4"});
    EXPECT_EQ(folder.protectedNames(), (std::set<std::string>{"b.mp4"}));

    // The new list cannot be written: the earlier one stays in force.
    fs::create_directory(directory / ".protected.new");
    const auto error = test::thrownBy([&] { folder.protect({directory / "a.mp4"}); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::cacheFailed);
    EXPECT_EQ(folder.protectedNames(), (std::set<std::string>{"b.mp4"}));
    EXPECT_EQ(folder.files()[1].isProtected, true);

    fs::remove(directory / ".protected.new");
    folder.protect({"/elsewhere/a.mp4"});
    EXPECT_FALSE(fs::exists(directory / ".protected")) << "nothing to keep, no list";
    EXPECT_TRUE(folder.protectedNames().empty());
}

TEST_F(CacheFolderTest, AnUnreadableKeptListStopsThePruneBeforeItRemovesAnything) {
    video("a.mp4", 300, 90);
    fs::create_directory(directory / ".protected");
    const auto error = test::thrownBy([&] { folder.prune(0); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::cacheFailed);
    EXPECT_TRUE(fs::exists(directory / "a.mp4"));
}

}  // namespace
}  // namespace lumivo
