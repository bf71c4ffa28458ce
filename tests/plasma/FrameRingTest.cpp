#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FrameRing.hpp"

namespace lumivo {
namespace {

TEST(FrameRingTest, TheNextSlotIsNeverTheOneShownLast) {
    for (int latest = 0; latest < 3; ++latest) {
        for (int mask = 0; mask < 8; ++mask) {
            const std::vector<int> holds{mask & 1, (mask >> 1) & 1, (mask >> 2) & 1};
            EXPECT_NE(FrameRing::pickSlot(holds, latest), latest);
        }
    }
}

TEST(FrameRingTest, AFreeSlotIsTakenBeforeAHeldOne) {
    EXPECT_EQ(FrameRing::pickSlot({0, 0, 0}, 0), 1);
    EXPECT_EQ(FrameRing::pickSlot({0, 2, 0}, 0), 2);  // slot 1 still read by two desktops
    EXPECT_EQ(FrameRing::pickSlot({1, 0, 1}, 2), 1);
    // Every other slot held (a desktop that stopped reading): the next one.
    EXPECT_EQ(FrameRing::pickSlot({1, 1, 1}, 1), 2);
}

TEST(FrameRingTest, AcquireGoesRoundTheRingPastHeldSlots) {
    FrameRing ring(0, 64, 32);
    std::uint8_t* first = ring.acquire();
    EXPECT_EQ(ring.latest(), 0);
    ring.hold(0);
    ring.acquire();
    EXPECT_EQ(ring.latest(), 1);
    ring.acquire();  // slot 0 is held: 2
    EXPECT_EQ(ring.latest(), 2);
    ring.acquire();
    EXPECT_EQ(ring.latest(), 1);
    ring.release(0);
    ring.acquire();
    EXPECT_EQ(ring.latest(), 2);
    EXPECT_EQ(ring.acquire(), first);
    EXPECT_EQ(ring.holds(0), 0);
}

TEST(FrameRingTest, ItsMemoryIsSealedAndHoldsEverySlot) {
    FrameRing ring(5, 100, 50);
    const FrameMessage canvas = ring.canvasMessage();
    EXPECT_EQ(FrameMessage::parse(canvas.text()), canvas);
    EXPECT_EQ(canvas.stride, 400);
    struct stat info {};
    ASSERT_EQ(fstat(ring.memoryFd(), &info), 0);
    EXPECT_EQ(static_cast<std::size_t>(info.st_size), canvas.slotBytes() * FrameRing::slotCount);
    const int seals = fcntl(ring.memoryFd(), F_GET_SEALS);
    EXPECT_NE(seals & F_SEAL_SHRINK, 0);
    EXPECT_NE(seals & F_SEAL_GROW, 0);
    EXPECT_NE(ftruncate(ring.memoryFd(), 10), 0);  // no reader's mapping can be cut short
}

}  // namespace
}  // namespace lumivo
