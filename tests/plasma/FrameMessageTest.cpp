#include <gtest/gtest.h>

#include "FrameMessage.hpp"

namespace lumivo {
namespace {

using Kind = FrameMessage::Kind;

TEST(FrameMessageTest, EveryMessageReadsBackAsWritten) {
    FrameMessage canvas{.kind = Kind::canvas,
                        .id = 3,
                        .width = 1280,
                        .height = 720,
                        .stride = 5120,
                        .slotCount = 3};
    FrameMessage frame{
        .kind = Kind::frame, .id = 3, .width = 640, .height = 360, .slot = 2, .x = 320, .y = 0};
    FrameMessage hello{.kind = Kind::hello, .version = 1, .desktop = 123456789012LL};
    FrameMessage covered{.kind = Kind::covered, .covered = true};
    FrameMessage release{.kind = Kind::release, .id = 3, .slot = 1};
    FrameMessage clear{.kind = Kind::clear};
    for (const FrameMessage& message : {canvas, frame, hello, covered, release, clear}) {
        EXPECT_EQ(FrameMessage::parse(message.text()), message) << message.text();
    }
    EXPECT_EQ(canvas.slotBytes(), 5120u * 720u);
}

TEST(FrameMessageTest, AnythingMalformedOrOutOfRangeIsRefused) {
    for (const char* text : {
             "",
             "clear ",
             " clear",
             "clear  ",
             "clear 1",
             "frame",
             "bogus 1 2",
             "canvas 1 1280 720 5120",
             "canvas 1 1280 720 5120 3 9",
             "canvas 1 1280 720 5116 3",    // stride below width * 4
             "canvas 1 1280 720 5120 0",    // no slot
             "canvas 1 1280 720 5120 9",    // too many slots
             "canvas 1 16385 720 65540 3",  // wider than any screen
             "canvas -1 1280 720 5120 3",
             "canvas 01 1280 720 5120 3",
             "canvas 1 +1280 720 5120 3",
             "canvas 1 1280 720 5120 3\n",
             "frame 1 8 0 0 10 10",        // slot out of range
             "frame 1 0 16000 0 1000 10",  // past the largest canvas
             "frame 1 0 0 0 0 10",         // nothing to show
             "hello 0 1",
             "hello 1 -5",
             "hello 1 99999999999999999999",
             "covered 2",
             "covered",
             "release 1",
             "release 1 2 3",
         }) {
        EXPECT_FALSE(FrameMessage::parse(text)) << '"' << text << '"';
    }
    EXPECT_FALSE(FrameMessage::parse(std::string("clear\0", 6)));
    EXPECT_FALSE(FrameMessage::parse("covered 1" + std::string(200, ' ')));
}

}  // namespace
}  // namespace lumivo
