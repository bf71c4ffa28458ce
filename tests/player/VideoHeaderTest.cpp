// A file's video streams read from its header, on the test clips and on
// files that are not (whole) videos.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "VideoHeader.hpp"

namespace lumivo {
namespace {

const std::filesystem::path kClips = std::filesystem::path(LUMIVO_TEST_DATA) / "video";

class VideoHeaderTest : public ::testing::Test {
  protected:
    std::filesystem::path write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path file = dir_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("VideoHeaderTest-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

TEST_F(VideoHeaderTest, ReadsTheSizeAndRateOfEachClip) {
    const std::vector<VideoHeader> wide = VideoHeader::read(kClips / "wide-16x9.mp4");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].width, 320);
    EXPECT_EQ(wide[0].height, 180);
    EXPECT_DOUBLE_EQ(wide[0].framesPerSecond, 15.0);

    const std::vector<VideoHeader> classic = VideoHeader::read(kClips / "classic-4x3.mp4");
    ASSERT_EQ(classic.size(), 1u);
    EXPECT_EQ(classic[0].width, 240);
    EXPECT_EQ(classic[0].height, 180);
}

TEST_F(VideoHeaderTest, AnAudioTrackIsNoVideo) {
    EXPECT_EQ(VideoHeader::read(kClips / "with-audio-16x9.mp4").size(), 1u);
    EXPECT_TRUE(VideoHeader::read(kClips / "audio-only.mp4").empty());
}

TEST_F(VideoHeaderTest, WhatIsNotAWholeVideoGivesNothing) {
    EXPECT_TRUE(VideoHeader::read(dir_ / "missing.mp4").empty());
    EXPECT_TRUE(VideoHeader::read(write("empty.mp4", "")).empty());
    EXPECT_TRUE(VideoHeader::read(write("text.mp4", "not a video at all\n")).empty());
    // The first kilobyte of a clip: the header begins but its streams are cut off.
    std::ifstream clip(kClips / "wide-16x9.mp4", std::ios::binary);
    std::string start(1024, '\0');
    clip.read(start.data(), static_cast<std::streamsize>(start.size()));
    EXPECT_TRUE(VideoHeader::read(write("cut.mp4", start)).empty());
}

TEST_F(VideoHeaderTest, AFileNamingOtherFilesIsNotFollowed) {
    // libavformat's probing would open the clip these name and report its
    // stream.
    std::filesystem::copy_file(kClips / "wide-16x9.mp4", dir_ / "clip.mp4");
    EXPECT_TRUE(
        VideoHeader::read(write("concat.mp4", "ffconcat version 1.0\nfile clip.mp4\n")).empty());
    EXPECT_TRUE(VideoHeader::read(
                    write("playlist.mp4", "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\n" +
                                              (dir_ / "clip.mp4").string() + "\n#EXT-X-ENDLIST\n"))
                    .empty());
}

}  // namespace
}  // namespace lumivo
