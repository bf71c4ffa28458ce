// SessionState against fake logind, UPower and screensaver services on a
// private system bus and a private session bus (with-display.sh with
// E2E_SYSTEM_BUS=1; the fakes are tests/e2e/fake_session_services.py).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SessionState.hpp"
#include "TestApplication.hpp"

namespace lumivo {
namespace {

constexpr int kWaitMs = 5000;
const std::string kNoScreensaver =
    "[LumivoHelper] No screensaver state; counting the screen as not locked";
const std::string kNoLogind = "[LumivoHelper] No logind session; counting the screen as not locked";
const std::string kNoUPower = "[LumivoHelper] No UPower; counting as on mains power";

// The fake services as a line-command process; gone (with its bus names) with
// the object.
class FakeServices {
  public:
    explicit FakeServices(const QStringList& arguments) {
        process_.start("/usr/bin/python3", QStringList{LUMIVO_FAKE_SESSION_SERVICES} + arguments);
        EXPECT_EQ(answer(), "ready") << process_.readAllStandardError().toStdString();
    }
    ~FakeServices() {
        process_.closeWriteChannel();
        process_.waitForFinished(kWaitMs);
    }
    void send(const char* line) {
        process_.write(QByteArray(line) + "\n");
        EXPECT_EQ(answer(), "ok") << line;
    }

  private:
    std::string answer() {
        if (!QTest::qWaitFor([this] { return process_.canReadLine(); }, kWaitMs)) {
            return "(no answer)";
        }
        return process_.readLine().trimmed().toStdString();
    }
    QProcess process_;
};

class SessionStateTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        app_ = makeTestApplication<QCoreApplication>("SessionStateTest");
    }
    static void TearDownTestSuite() { app_.reset(); }

    std::unique_ptr<SessionState> follow() {
        return std::make_unique<SessionState>(
            QDBusConnection::sessionBus(), QDBusConnection::systemBus(),
            [this](const std::string& line) { log_.push_back(line); });
    }
    static bool eventually(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, kWaitMs);
    }
    size_t logged(const std::string& line) const {
        return static_cast<size_t>(std::count(log_.begin(), log_.end(), line));
    }

    static inline std::unique_ptr<QCoreApplication> app_;
    std::vector<std::string> log_;
};

TEST_F(SessionStateTest, ReadsLockScreensaverAndBatteryAtStart) {
    FakeServices fakes({"--locked", "--screensaver", "--battery"});
    const auto state = follow();
    EXPECT_TRUE(eventually(
        [&] { return state->locked() && state->screensaverActive() && state->onBattery(); }));
    EXPECT_TRUE(log_.empty());
}

TEST_F(SessionStateTest, FollowsLockingScreensaverAndBattery) {
    FakeServices fakes({});
    const auto state = follow();
    int changes = 0;
    QObject::connect(state.get(), &SessionState::changed, [&changes] { ++changes; });
    fakes.send("lock");
    EXPECT_TRUE(eventually([&] { return state->locked(); }));
    fakes.send("unlock");
    EXPECT_TRUE(eventually([&] { return !state->locked(); }));
    fakes.send("screensaver on");
    EXPECT_TRUE(eventually([&] { return state->screensaverActive(); }));
    fakes.send("screensaver off");
    EXPECT_TRUE(eventually([&] { return !state->screensaverActive(); }));
    fakes.send("battery on");
    EXPECT_TRUE(eventually([&] { return state->onBattery(); }));
    fakes.send("battery off");
    EXPECT_TRUE(eventually([&] { return !state->onBattery(); }));
    EXPECT_EQ(changes, 6);
    EXPECT_TRUE(log_.empty());
}

TEST_F(SessionStateTest, SleepRestsUntilTheWakeThatSaysToDrawAgain) {
    FakeServices fakes({});
    const auto state = follow();
    int wakes = 0;
    bool awakeAtWake = false;
    QObject::connect(state.get(), &SessionState::wokeUp, [&] {
        ++wakes;
        awakeAtWake = !state->suspending();
    });
    fakes.send("sleep");
    EXPECT_TRUE(eventually([&] { return state->suspending(); }));
    EXPECT_EQ(wakes, 0);
    fakes.send("wake");
    EXPECT_TRUE(eventually([&] { return wakes == 1; }));
    EXPECT_TRUE(awakeAtWake);
    EXPECT_TRUE(log_.empty());
}

TEST_F(SessionStateTest, ALogindGoneDuringSleepLeavesTheSystemAwake) {
    auto fakes = std::make_unique<FakeServices>(QStringList{});
    const auto state = follow();
    fakes->send("sleep");
    ASSERT_TRUE(eventually([&] { return state->suspending(); }));
    fakes.reset();
    EXPECT_TRUE(eventually([&] { return !state->suspending(); }));
    EXPECT_EQ(logged(kNoLogind), 1u) << "said once, for the lock";
}

TEST_F(SessionStateTest, MissingServicesCountAsUnlockedOnMainsOnceUntilTheyAppear) {
    const auto state = follow();
    EXPECT_TRUE(eventually([&] { return log_.size() == 3; }));
    EXPECT_FALSE(state->locked() || state->screensaverActive() || state->onBattery());

    FakeServices fakes({"--locked", "--screensaver", "--battery"});
    EXPECT_TRUE(eventually(
        [&] { return state->locked() && state->screensaverActive() && state->onBattery(); }));
    // Their signals arrive too.
    fakes.send("screensaver off");
    fakes.send("battery off");
    EXPECT_TRUE(eventually([&] { return !state->screensaverActive() && !state->onBattery(); }));
    EXPECT_EQ(logged(kNoScreensaver), 1u);
    EXPECT_EQ(logged(kNoLogind), 1u);
    EXPECT_EQ(logged(kNoUPower), 1u);
}

TEST_F(SessionStateTest, NoSystemBusCountsAsUnlockedOnMainsWithOneLineEach) {
    FakeServices fakes({"--without", "logind,upower"});
    SessionState state(QDBusConnection::sessionBus(),
                       QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                     QStringLiteral("no-system-bus")),
                       [this](const std::string& line) { log_.push_back(line); });
    EXPECT_TRUE(eventually([&] { return logged(kNoLogind) == 1 && logged(kNoUPower) == 1; }));
    EXPECT_EQ(log_.size(), 2u);
}

TEST_F(SessionStateTest, ServicesThatGoAwayCountAsUnlockedOnMains) {
    auto fakes = std::make_unique<FakeServices>(QStringList{"--locked", "--battery"});
    const auto state = follow();
    ASSERT_TRUE(eventually([&] { return state->locked() && state->onBattery(); }));
    fakes.reset();
    EXPECT_TRUE(eventually([&] { return !state->locked() && !state->onBattery(); }));
    EXPECT_TRUE(eventually([&] { return logged(kNoLogind) == 1 && logged(kNoUPower) == 1; }));
}

}  // namespace
}  // namespace lumivo
