#include <gtest/gtest.h>

#include <limits>

#include "DecodeThreads.hpp"

namespace lumivo {
namespace {

bool oneThread(long long width, long long height, double fps) {
    const DecodeThreads threads = DecodeThreads::forVideo(width, height, fps);
    return threads.decode == 1 && threads.scale == 1;
}

bool pools(long long width, long long height, double fps) {
    const DecodeThreads threads = DecodeThreads::forVideo(width, height, fps);
    return threads.decode == 0 && threads.scale == 0;
}

TEST(DecodeThreadsTest, VideosUpTo1080p30UseOneThreadEach) {
    EXPECT_TRUE(oneThread(1920, 1080, 30.0));
    EXPECT_TRUE(oneThread(1080, 1920, 30.0));  // portrait
    EXPECT_TRUE(oneThread(1920, 1080, 29.97));
    EXPECT_TRUE(oneThread(1920, 1080, 30.0003));  // a container's rounding
    EXPECT_TRUE(oneThread(1280, 720, 60.0));
    EXPECT_TRUE(oneThread(2, 2, 1.0));
}

TEST(DecodeThreadsTest, LargerOrFasterVideosKeepThePools) {
    EXPECT_TRUE(pools(1920, 1080, 60.0));
    EXPECT_TRUE(pools(2560, 1440, 30.0));
    EXPECT_TRUE(pools(3840, 2160, 24.0));
    EXPECT_TRUE(pools(1920, 1200, 30.0));
}

TEST(DecodeThreadsTest, AFileThatDoesNotSayKeepsThePools) {
    EXPECT_TRUE(pools(0, 1080, 30.0));
    EXPECT_TRUE(pools(1920, -1, 30.0));
    EXPECT_TRUE(pools(1920, 1080, 0.0));
    EXPECT_TRUE(pools(1920, 1080, -30.0));
    EXPECT_TRUE(pools(1920, 1080, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(pools(1920, 1080, std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace lumivo
