// The helper's frame server and the package's frame link over a real Unix
// socket in one process: what one sends, the other sees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstring>
#include <functional>

#include "FrameLink.hpp"
#include "FrameServer.hpp"
#include "FrameSocket.hpp"
#include "PlasmaOutput.hpp"

namespace lumivo {
namespace {

bool spinUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class FrameLinkTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
        server = std::make_shared<FrameServer>(*FrameSocket::defaultPath());
        QObject::connect(&link, &FrameLink::frameArrived,
                         [this](std::shared_ptr<MappedCanvas> canvas, FrameMessage frame) {
                             arrived.emplace_back(std::move(canvas), frame);
                         });
        QObject::connect(&link, &FrameLink::cleared, [this] { ++clears; });
    }

    // A raw client of the server, as another program would connect.
    int rawClient() {
        int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = *FrameSocket::defaultPath();
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    QTemporaryDir dir;
    std::shared_ptr<FrameServer> server;
    FrameLink link;
    std::vector<std::pair<std::shared_ptr<MappedCanvas>, FrameMessage>> arrived;
    int clears = 0;
};

TEST_F(FrameLinkTest, ADesktopSeesThePartOfTheFrameMeantForIt) {
    link.start(42);
    ASSERT_TRUE(spinUntil([&] { return server->connected(42); }));
    EXPECT_FALSE(server->connected(43));

    FrameRing ring(0, 8, 4, server);
    std::uint8_t* pixels = ring.acquire();
    for (std::size_t i = 0; i < ring.stride() * 4; ++i) {
        pixels[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_FALSE(server->show(43, ring, {0, 0, 8, 4}));  // nobody draws desktop 43
    ASSERT_TRUE(server->show(42, ring, {2, 1, 4, 2}));
    ASSERT_TRUE(spinUntil([&] { return !arrived.empty(); }));
    const auto& [canvas, frame] = arrived.front();
    EXPECT_EQ(frame.width, 4);
    EXPECT_EQ(frame.height, 2);
    const std::uint8_t* seen = canvas->pixels(frame);
    EXPECT_EQ(seen[0], pixels[1 * 32 + 2 * 4]);
    EXPECT_EQ(std::memcmp(seen + 32, pixels + 2 * 32 + 8, 16), 0);
    EXPECT_EQ(ring.holds(0), 1);

    link.release(frame.id, frame.slot);
    ASSERT_TRUE(spinUntil([&] { return ring.holds(0) == 0; }));
    link.release(frame.id, frame.slot);  // twice: the second means nothing
    ring.acquire();
    server->show(42, ring, {0, 0, 8, 4});
    ASSERT_TRUE(spinUntil([&] { return arrived.size() == 2; }));
    EXPECT_EQ(arrived[1].second.slot, 1);
    EXPECT_EQ(arrived[1].first, arrived[0].first);  // the canvas is handed over once
}

TEST_F(FrameLinkTest, ARingPresentsOnlyOnTheDesktopsItsBackendShows) {
    link.start(42);
    ASSERT_TRUE(spinUntil([&] { return server->connected(42); }));
    PlasmaOutput ours(Monitor{}, 42, server);
    PlasmaOutput retired(Monitor{}, 42, server);
    FrameRing ring(0, 8, 4, server, [&](const Output& output) -> const PlasmaOutput* {
        return &output == &ours ? &ours : nullptr;
    });
    ring.acquire();
    ring.present(retired, {0, 0, 8, 4});  // a desktop of an earlier showOn
    ring.present(ours, {0, 0, 8, 4});
    ASSERT_TRUE(spinUntil([&] { return !arrived.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(arrived.size(), 1u);
    EXPECT_EQ(ring.holds(0), 1);
}

TEST_F(FrameLinkTest, CoveredAndClearTravelBothWays) {
    link.start(5);
    ASSERT_TRUE(spinUntil([&] { return server->connected(5); }));
    EXPECT_FALSE(server->covered(5));
    link.setCovered(true);
    ASSERT_TRUE(spinUntil([&] { return server->covered(5); }));
    server->clear(5);
    ASSERT_TRUE(spinUntil([&] { return clears == 1; }));
}

TEST_F(FrameLinkTest, ADesktopThatGoesAwayHoldsNothing) {
    auto other = std::make_unique<FrameLink>();
    other->start(8);
    ASSERT_TRUE(spinUntil([&] { return server->connected(8); }));
    FrameRing ring(0, 8, 4, server);
    ring.acquire();
    ASSERT_TRUE(server->show(8, ring, {0, 0, 8, 4}));
    EXPECT_EQ(ring.holds(0), 1);
    other.reset();
    ASSERT_TRUE(spinUntil([&] { return !server->connected(8); }));
    EXPECT_EQ(ring.holds(0), 0);
}

TEST_F(FrameLinkTest, TheLinkComesBackWhenTheHelperDoes) {
    link.start(3);
    ASSERT_TRUE(spinUntil([&] { return server->connected(3); }));
    server.reset();
    ASSERT_TRUE(spinUntil([&] { return !link.connected(); }));
    server = std::make_shared<FrameServer>(*FrameSocket::defaultPath());
    EXPECT_TRUE(spinUntil([&] { return server->connected(3); }, 5000));
}

TEST_F(FrameLinkTest, GarbageFromAClientIsIgnored) {
    const int raw = rawClient();
    for (const std::string& text :
         std::vector<std::string>{"hello 1 x", "\xff\xfe", "release 0 0", "covered 1",
                                  std::string(4096, 'a'), "hello 2 9"}) {
        send(raw, text.data(), text.size(), 0);
    }
    link.start(11);
    ASSERT_TRUE(spinUntil([&] { return server->connected(11); }));
    EXPECT_FALSE(server->connected(9));
    EXPECT_FALSE(server->covered(11));
    close(raw);
}

TEST_F(FrameLinkTest, ACanvasThatCouldShrinkOrIsTooSmallIsNotMapped) {
    FrameMessage canvas{.kind = FrameMessage::Kind::canvas,
                        .id = 1,
                        .width = 16,
                        .height = 16,
                        .stride = 64,
                        .slotCount = 2};
    const int unsealed = memfd_create("test", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_EQ(ftruncate(unsealed, 64 * 16 * 2), 0);
    EXPECT_EQ(MappedCanvas::map(canvas, unsealed), nullptr);
    ASSERT_EQ(fcntl(unsealed, F_ADD_SEALS, F_SEAL_SHRINK), 0);
    const auto mapped = MappedCanvas::map(canvas, unsealed);
    ASSERT_NE(mapped, nullptr);
    FrameMessage frame{
        .kind = FrameMessage::Kind::frame, .id = 1, .width = 16, .height = 16, .slot = 1};
    EXPECT_TRUE(mapped->holds(frame));
    frame.slot = 2;
    EXPECT_FALSE(mapped->holds(frame));  // past the slots there are
    frame.slot = 0;
    frame.x = 1;
    EXPECT_FALSE(mapped->holds(frame));  // past the right edge
    canvas.slotCount = 3;
    EXPECT_EQ(MappedCanvas::map(canvas, unsealed), nullptr);  // smaller than it says
    close(unsealed);
}

}  // namespace
}  // namespace lumivo
