#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <QTimer>
#include <algorithm>

#include "AppDelegate.hpp"
#include "AppFakes.hpp"
#include "HelperConstants.hpp"
#include "LastWallpaper.hpp"
#include "URLManifestDataLoader.hpp"
#include "WorkingDirectory.hpp"

namespace lumivo::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string site = "https://" + std::string(HelperConstants::webOrigin());
const std::string devGallery = "http://127.0.0.1:4173/live-wallpapers/";

// A manifest whose records are titled by their ids and share one video.
std::string manifest(const std::string& video, const Lines& ids) {
    const std::string sha = "96b050b919f3fca2fc8b6923537136a197ad13c583beb1438d1a12ccbc999c42";
    std::string json;
    for (const auto& id : ids) {
        json += std::string(json.empty() ? "" : ",") + R"({"id":")" + id + R"(","slug":")" + id +
                R"(","title":")" + id + R"(","category":"T","thumbnailUrl":"/t.png","videoUrl":")" +
                video + R"(","sha256":")" + sha + R"(","bytes":11,"duration":8.0,"width":1280,)" +
                R"("height":720,"format":"mp4","updatedAt":"2026-01-01T00:00:00Z"})";
    }
    return "[" + json + "]";
}

// One helper over a fresh checkout (root/web/public) and cache (root/cache).
struct Rig {
    Rig() {
        root = fs::canonical(fs::temp_directory_path()) /
               ("lumivo-app-test-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "web/public");
        projectRoot = root;
        ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        w.settings["hasShownWelcome"] = true;
    }
    ~Rig() {
        delegate.reset();
        fs::remove_all(root);
    }

    // `restore`: as a start without a URL, restoring while launch runs.
    void launch(bool atLogin = false, bool restore = false) {
        const std::size_t before = w.log.size();
        auto fake = [this] { return std::make_unique<Fake>(w); };
        // The local manifest is a real file, read by the real loader.
        AppDelegate::Sources sources{fake(), std::make_unique<URLManifestDataLoader>(), fake(),
                                     &files, nullptr};
        sources.setProgressHandler = [this](auto handler) { w.progress = std::move(handler); };
        AppDelegate::Platform platform{fake(),  fake(),  fake(),       fake(),  fake(),
                                       nullptr, nullptr, std::nullopt, nullptr, nullptr};
        platform.autostart.emplace(root / "config/autostart/app.lumivo.Helper.desktop",
                                   "/usr/bin/lumivo-helper");
        platform.makeStatusItem = [this, fake](auto handler, Logging&) {
            w.menuHandler = std::move(handler);
            return fake();
        };
        platform.terminate = [this] { ++w.terminations; };
        platform.shellIntegration = std::move(shell);
        delegate = std::make_unique<AppDelegate>(HelperLocations::fromProjectRoot(projectRoot),
                                                 std::move(sources), std::move(platform));
        delegate->applicationDidFinishLaunching(atLogin);
        if (restore) {
            delegate->restoreLastWallpaper();
        }
        settle();
        // Lines after the start line, which launch writes first.
        launchLines = restore ? before + 1 : w.log.size();
    }

    // A new helper on the same settings, files and cache, started without a URL.
    void restart() {
        delegate.reset();
        w.menus.clear();
        launch(false, true);
    }

    std::optional<LastWallpaper> remembered() { return LastWallpaper::load(Fake(w)); }

    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->isIdle(); }, 10000));
    }

    void send(const std::optional<std::string>& url) {
        delegate->handleURLEvent(url);
        settle();
        EXPECT_NE(status(), "Downloading...");
    }

    void write(const std::string& path, const std::string& content = videoBytes) {
        const fs::path file = (root / "web/public" / path).lexically_normal();
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

    // Log lines since launch, without the "[LumivoHelper] " prefix and with
    // the root's path written "{root}".
    Lines lines() const {
        Lines result(w.log.begin() + launchLines, w.log.end());
        for (auto& line : result) {
            line.erase(0, 15);
            if (const auto at = line.find(root.string()); at != std::string::npos) {
                line.replace(at, root.string().size(), "{root}");
            }
        }
        return result;
    }
    std::string status() const { return w.menus.back().at(0).title; }
    fs::path cached(const std::string& id) const {
        return root / "cache/Lumivo/wallpapers" / (id + "-96b050b919f3.mp4");
    }
    // The names in the cache's folder, sorted.
    Lines cacheEntries() const {
        Lines names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root / "cache/Lumivo/wallpapers", error)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root;
    fs::path projectRoot;  // the checkout the helper is given (root); empty for none
    World w;
    Files files{w};
    std::unique_ptr<ShellIntegrating> shell;  // given to the next launch
    std::size_t launchLines = 0;
    std::unique_ptr<AppDelegate> delegate;
};

const std::string assetLine = "Using local asset fallback: {root}/web/public/assets/a.mp4";

// ---- The menu on every way out; ping and stop ----------------------------

TEST(AppDelegateTest, MenuShowsDownloadingThenSettlesAndKeepsWhatPlaysOnFailure) {
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/assets/a.mp4", {"alpha", "gamma"});
    h.launch();
    h.send("lumivo://apply/gamma");
    h.send("lumivo://apply/zz");
    h.w.noScreen = true;
    h.send("lumivo://apply/alpha");
    h.w.noScreen = false;
    h.send("lumivo://apply/alpha");
    h.send("lumivo://ping");
    h.send("lumivo://stop");

    Lines menus;  // the status line, and "+" when Stop Wallpaper is enabled
    for (const auto& menu : h.w.menus) {
        menus.push_back(menu.at(0).title + (menu.at(2).enabled ? "+" : ""));
    }
    EXPECT_EQ(menus,
              (Lines{"No Wallpaper Playing", "Downloading...", "Playing: gamma+", "Downloading...+",
                     "Playing: gamma+", "Downloading...+", "Playing: gamma+", "Downloading...+",
                     "Playing: alpha+", "No Wallpaper Playing"}));
    EXPECT_EQ(h.lines(),
              (Lines{assetLine, "Applied gamma", "ERROR: No wallpaper in manifest for id zz.",
                     assetLine, "ERROR: No main screen is available.", assetLine, "Applied alpha",
                     "ping", "Stopped wallpaper"}));
    EXPECT_EQ(h.w.alerts.size(), 2u);
    EXPECT_EQ(h.w.stops, 1);
}

// ---- The error alert -----------------------------------------------------

struct AlertCase {
    const char* name;
    std::optional<std::string> url;
    int answer;
    std::string error;
    Lines opened;
    bool quits = false;
};

class ErrorAlert : public testing::TestWithParam<AlertCase> {};

TEST_P(ErrorAlert, ActsOnTheAnswerWhileLaterCommandsRun) {
    const AlertCase& c = GetParam();
    Rig h;
    h.launch();
    h.w.answer = c.answer;
    h.w.duringAlert = [&] {
        h.delegate->handleURLEvent("lumivo://ping");
        EXPECT_TRUE(QTest::qWaitFor([&] { return h.w.log.back() == "[LumivoHelper] ping"; }));
    };
    h.send(c.url);
    ASSERT_EQ(h.w.alerts.size(), 1u);
    EXPECT_EQ(h.w.alerts[0].messageText, "Lumivo Helper");
    EXPECT_EQ(h.w.alerts[0].informativeText, c.error);
    EXPECT_EQ(h.w.alerts[0].buttons, (Lines{"Open Gallery", "Quit", "Cancel"}));
    // A ping that arrived while the alert was up did not wait for its answer.
    EXPECT_EQ(h.lines(), (Lines{"ERROR: " + c.error, "ping"}));
    EXPECT_EQ(h.w.opened, c.opened);
    EXPECT_EQ(h.w.stops, c.quits ? 1 : 0);
    EXPECT_EQ(h.w.terminations, c.quits ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    AppDelegateTest, ErrorAlert,
    testing::Values(
        AlertCase{"OpenGalleryForAnUnknownAction",
                  "lumivo://bogus",
                  0,
                  "Unknown action: bogus.",
                  {devGallery}},
        AlertCase{"QuitForAMissingURL", std::nullopt, 1, "Invalid lumivo URL.", {}, true},
        AlertCase{"CancelForAnInvalidURL", "lumivo://apply/a b", 2, "Invalid lumivo URL.", {}},
        AlertCase{"ClosedForAnEmptyId", "lumivo://apply/", -1, "Invalid wallpaper id.", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Launch and welcome --------------------------------------------------

struct WelcomeCase {
    const char* name;
    bool shownBefore;
    int answer;
    Lines opened;
    bool atLogin = false;
};

class Welcome : public testing::TestWithParam<WelcomeCase> {};

TEST_P(Welcome, ShowsOnceThenTheStartLineFollows) {
    const WelcomeCase& c = GetParam();
    const std::string startLine =
        "[LumivoHelper] Helper started. Manifest: " + site + "/api/wallpapers.json";
    Rig h;
    h.w.settings = {{"hasShownWelcome", c.shownBefore}};
    h.w.answer = c.answer;
    h.w.duringAlert = [&] {
        EXPECT_TRUE(h.w.settings["hasShownWelcome"]);  // written before the alert
        EXPECT_TRUE(h.w.log.empty());
        EXPECT_EQ(h.w.alerts.back().buttons, (Lines{"Open Gallery", "OK"}));
        h.delegate->handleURLEvent("lumivo://ping");
    };
    h.launch(c.atLogin);
    const bool shows = !c.shownBefore && !c.atLogin;
    EXPECT_EQ(h.w.alerts.size(), shows ? 1u : 0u);
    EXPECT_EQ(h.w.opened, c.opened);
    // A ping that arrived during the welcome comes after the start line.
    EXPECT_EQ(h.w.log, (shows ? Lines{startLine, "[LumivoHelper] ping"} : Lines{startLine}));
    // At login the welcome waits for the first start by hand.
    EXPECT_EQ(h.w.settings["hasShownWelcome"], !c.atLogin);
}

INSTANTIATE_TEST_SUITE_P(AppDelegateTest, Welcome,
                         testing::Values(WelcomeCase{"FirstRunOpenGallery", false, 0, {devGallery}},
                                         WelcomeCase{"FirstRunOK", false, 1, {}},
                                         WelcomeCase{"SecondRun", true, 0, {}},
                                         WelcomeCase{"FirstRunAtLogin", false, 0, {}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The developer checkout ----------------------------------------------

struct CheckoutCase {
    const char* name;
    bool given;         // the helper is given the root
    bool exists;        // the root is there
    Lines opened;       // by Open Gallery and Check for Updates
    std::string apply;  // the outcome of applying "alpha", only in the checkout's manifest
};

class Checkout : public testing::TestWithParam<CheckoutCase> {};

TEST_P(Checkout, DecidesTheWebPagesAndWhichManifestAnswers) {
    const CheckoutCase& c = GetParam();
    Rig h;
    h.write("assets/a.mp4");
    h.write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {"alpha"}));
    h.projectRoot = !c.given ? fs::path() : c.exists ? h.root : h.root / "missing";
    // Started from inside a checkout it was not given, the helper still ignores it.
    const WorkingDirectory inside(h.root);
    h.w.manifest = manifest(site + "/assets/a.mp4", {"beta"});
    h.launch();
    h.w.menuHandler(MenuAction::openGallery);
    h.w.menuHandler(MenuAction::checkForUpdates);
    h.send("lumivo://apply/alpha");
    EXPECT_EQ(h.w.opened, c.opened);
    EXPECT_EQ(h.lines().back(), c.apply);
}

const Lines sitePages{site + "/live-wallpapers/", site + "/mac-helper/"};

INSTANTIATE_TEST_SUITE_P(
    AppDelegateTest, Checkout,
    testing::Values(CheckoutCase{"Present", true, true,
                                 Lines{devGallery, "http://127.0.0.1:4173/mac-helper/"},
                                 "Applied alpha"},
                    CheckoutCase{"GivenButMissing", true, false, sitePages,
                                 "ERROR: No wallpaper in manifest for id alpha."},
                    CheckoutCase{"NotGiven", false, true, sitePages,
                                 "ERROR: No wallpaper in manifest for id alpha."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Commands in order while an apply runs; quit at once -----------------

TEST(AppDelegateTest, CommandsWaitTheirTurnDuringAnApplyAndQuitActsAtOnce) {
    Rig h;
    h.w.manifest = manifest(site + "/videos/b.mp4", {"beta", "gamma"});
    h.w.holdDownload = true;
    h.launch();
    h.delegate->handleURLEvent("lumivo://apply/beta");
    h.delegate->handleURLEvent("lumivo://ping");
    h.w.menuHandler(MenuAction::openGallery);
    h.w.menuHandler(MenuAction::checkForUpdates);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.downloads == 1; }));
    // The event loop stays live while the download runs.
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return timerFired; }, 10000));
    EXPECT_EQ(h.status(), "Downloading...");
    EXPECT_TRUE(h.lines().empty());
    EXPECT_TRUE(h.w.opened.empty());

    h.w.holdDownload = false;
    h.settle();
    EXPECT_EQ(h.lines(), (Lines{"Applied beta", "ping"}));
    EXPECT_EQ(h.w.started, std::vector{h.root / "cache/Lumivo/wallpapers/beta-96b050b919f3.mp4"});
    // Download progress, then the plain name again.
    EXPECT_EQ(h.w.toolTips,
              (Lines{"Downloading beta: 45%", "Downloading beta: 100%", "Lumivo Helper"}));
    EXPECT_EQ(h.w.opened, (Lines{devGallery, "http://127.0.0.1:4173/mac-helper/"}));
    EXPECT_EQ(h.w.stops, 0);

    h.w.holdDownload = true;
    h.delegate->handleURLEvent("lumivo://apply/gamma");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.downloads == 2; }));
    h.w.menuHandler(MenuAction::quit);
    EXPECT_EQ(h.w.cancels, 1);
    EXPECT_EQ(h.w.stops, 1);
    EXPECT_EQ(h.w.terminations, 1);
    h.delegate->handleURLEvent("lumivo://ping");
    // Whatever the cancelled apply posted is delivered, and changes nothing.
    ASSERT_TRUE(h.delegate->waitForBackgroundWork(std::chrono::seconds(5)));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.lines().size(), 2u);
    EXPECT_TRUE(h.w.alerts.empty());
    EXPECT_EQ(h.w.started.size(), 1u);
}

// ---- A stop cuts applies short, whenever it comes ------------------------

struct StageCase {
    const char* name;
    // Brings the apply of "w" to the stage at which the stop comes.
    std::function<void(Rig&)> reach;
    Lines cancelled = {"w"};  // the applies that end as cancelled
    bool byMenu = false;
    int cancels = 0;   // the stop reached a running download at once
    Lines cache = {};  // the cache's folder after the stop
    int downloads = 2;
    bool cachedBefore = false;  // "w" was applied once before
};

class StopAtStage : public testing::TestWithParam<StageCase> {};

TEST_P(StopAtStage, CancelsQuietlyLeavesNothingAndSparesTheNextApply) {
    const StageCase& c = GetParam();
    Rig h;
    h.w.manifest = manifest(site + "/videos/w.mp4", {"first", "w"});
    h.launch();
    if (c.cachedBefore) {
        h.send("lumivo://apply/w");
    }
    const std::size_t before = h.lines().size(), started = h.w.started.size();
    c.reach(h);
    if (c.byMenu) {
        h.w.menuHandler(MenuAction::stopWallpaper);
    } else {
        h.delegate->handleURLEvent("lumivo://stop");
    }
    EXPECT_EQ(h.w.cancels, c.cancels);
    h.w.holdManifest = h.w.holdDownload = h.w.holdDigest = false;
    h.settle();

    Lines expected;
    for (const auto& id : c.cancelled) {
        expected.push_back("Apply cancelled: " + id);
    }
    expected.push_back("Stopped wallpaper");
    const Lines lines = h.lines();
    EXPECT_EQ(Lines(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()), expected);
    EXPECT_TRUE(h.w.alerts.empty());
    EXPECT_EQ(h.w.started.size(), started);
    EXPECT_EQ(h.status(), "No Wallpaper Playing");
    EXPECT_EQ(h.remembered(), std::nullopt);
    // No temporary file, and nothing under a final name that was not there.
    EXPECT_EQ(h.cacheEntries(), c.cache);

    h.send("lumivo://apply/w");
    EXPECT_EQ(h.lines().back(), "Applied w");
    EXPECT_EQ(h.w.started.back(), h.cached("w"));
    EXPECT_EQ(h.w.downloads, c.downloads);
}

// Sends the apply of "w" once `hold` is set, and waits until `count` went up.
void applyHeld(Rig& h, std::atomic<bool> World::*hold, std::atomic<int> World::*count) {
    const int before = h.w.*count;
    h.w.*hold = true;
    h.delegate->handleURLEvent("lumivo://apply/w");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.*count > before; }));
}

const Lines copyOfW{"w-96b050b919f3.mp4"};

INSTANTIATE_TEST_SUITE_P(
    AppDelegateTest, StopAtStage,
    testing::Values(
        // "w" waits behind an apply that downloads.
        StageCase{.name = "BeforeItsTurn",
                  .reach =
                      [](Rig& h) {
                          h.w.holdDownload = true;
                          h.delegate->handleURLEvent("lumivo://apply/first");
                          ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.downloads == 1; }));
                          h.delegate->handleURLEvent("lumivo://apply/w");
                      },
                  .cancelled = {"first", "w"},
                  .cancels = 1},
        // The manifest arrives just as the stop comes; no transfer may start.
        StageCase{
            .name = "BetweenPickUpAndTheTransfer",
            .reach = [](Rig& h) { applyHeld(h, &World::holdManifest, &World::manifestLoads); },
            .byMenu = true,
            .downloads = 1},
        StageCase{.name = "DuringTheTransfer",
                  .reach = [](Rig& h) { applyHeld(h, &World::holdDownload, &World::downloads); },
                  .cancels = 1},
        StageCase{.name = "WhileTheDownloadIsChecked",
                  .reach = [](Rig& h) { applyHeld(h, &World::holdDigest, &World::digests); },
                  .byMenu = true},
        // The copy stays for the next apply, which downloads nothing.
        StageCase{.name = "WhileTheCachedCopyIsChecked",
                  .reach = [](Rig& h) { applyHeld(h, &World::holdDigest, &World::digests); },
                  .cache = copyOfW,
                  .downloads = 1,
                  .cachedBefore = true},
        // The outcome waits on the GUI thread; the player must not start.
        StageCase{.name = "AfterTheResolution",
                  .reach =
                      [](Rig& h) {
                          applyHeld(h, &World::holdManifest, &World::manifestLoads);
                          h.w.holdManifest = false;
                          ASSERT_TRUE(h.delegate->waitForBackgroundWork(std::chrono::seconds(10)));
                      },
                  .cache = copyOfW,
                  .downloads = 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Errors while an alert is open ---------------------------------------

TEST(AppDelegateTest, ErrorsWhileAnAlertIsOpenAreLoggedAndFollowInOneAlert) {
    Rig h;
    h.launch();
    h.w.answer = 2;
    h.w.duringAlert = [&] {
        if (h.w.alerts.size() == 1) {
            for (const char* url :
                 {"lumivo://one", "lumivo://two", "lumivo://three", "lumivo://ping"}) {
                h.delegate->handleURLEvent(url);
            }
            EXPECT_TRUE(QTest::qWaitFor([&] { return h.w.log.back() == "[LumivoHelper] ping"; }));
        }
    };
    h.send("lumivo://zero");
    EXPECT_EQ(h.lines(),
              (Lines{"ERROR: Unknown action: zero.", "ERROR: Unknown action: one.",
                     "ERROR: Unknown action: two.", "ERROR: Unknown action: three.", "ping"}));
    ASSERT_EQ(h.w.alerts.size(), 2u);
    EXPECT_EQ(h.w.alerts[1].informativeText,
              "Unknown action: one.\n\n2 more errors occurred while the previous alert was open; "
              "see the log for details.");
    h.send("lumivo://four");
    EXPECT_EQ(h.w.alerts.size(), 3u);
}

// ---- Outside text in log lines and alerts --------------------------------

TEST(AppDelegateTest, OutsideTextIsEscapedAndShortenedInLogAndAlert) {
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/assets/a.mp4", {"new\\nline"});  // a JSON escape
    h.launch();
    h.send("lumivo://apply/new%0Aline");
    h.send("lumivo://apply/x%0A%5BLumivoHelper%5D%20Applied%20Forged%0A%1B%5B2J%FF");
    const std::string forged =
        R"(No wallpaper in manifest for id x\n[LumivoHelper] Applied Forged\n\x1b[2J\xff.)";
    h.send("lumivo://apply/" + std::string(300, 'b'));
    const std::string cut = "No wallpaper in manifest for id " + std::string(167, 'b') + "…";
    h.send("lumivo://apply/" + std::string(1 << 20, 'c'));
    EXPECT_EQ(h.lines(), (Lines{assetLine, R"(Applied new\nline)", "ERROR: " + forged,
                                "ERROR: " + cut, "ERROR: Invalid lumivo URL."}));
    ASSERT_EQ(h.w.alerts.size(), 3u);
    EXPECT_EQ(h.w.alerts[0].informativeText, forged);
    EXPECT_EQ(h.w.alerts[1].informativeText, cut);
}

// ---- Remembering, restoring, start at login -------------------------------

TEST(AppDelegateTest, RemembersEachAppliedWallpaperUntilAStop) {
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/assets/a.mp4", {"local"});
    h.launch();
    h.send("lumivo://apply/local");
    const LastWallpaper local{"local",      "local",      h.root / "web/public/assets/a.mp4",
                              std::nullopt, std::nullopt, site + "/assets/a.mp4"};
    EXPECT_EQ(h.remembered(), local);

    fs::remove_all(h.root / "web/public/assets");
    h.w.manifest = manifest(site + "/videos/b.mp4", {"remote", "other"});
    h.send("lumivo://apply/remote");
    const LastWallpaper remote{"remote",
                               "remote",
                               h.cached("remote"),
                               "96b050b919f3fca2fc8b6923537136a197ad13c583beb1438d1a12ccbc999c42",
                               11,
                               std::nullopt};
    EXPECT_EQ(h.remembered(), remote);

    // A failed apply leaves what plays remembered.
    h.send("lumivo://apply/zz");
    h.w.noScreen = true;
    h.send("lumivo://apply/other");
    h.w.noScreen = false;
    h.w.downloadEnds = [] { throw HelperError::downloadFailed("refused"); };
    fs::remove(h.cached("remote"));
    h.send("lumivo://apply/remote");
    EXPECT_EQ(h.w.alerts.size(), 3u);
    EXPECT_EQ(h.remembered(), remote);

    h.send("lumivo://stop");
    EXPECT_EQ(h.remembered(), std::nullopt);
    h.w.downloadEnds = [] {};
    h.send("lumivo://apply/remote");
    h.w.menuHandler(MenuAction::stopWallpaper);
    h.settle();
    EXPECT_EQ(h.remembered(), std::nullopt);

    // Quitting keeps it for the next start.
    h.send("lumivo://apply/remote");
    h.w.menuHandler(MenuAction::quit);
    EXPECT_EQ(h.remembered(), remote);
}

struct RestoreCase {
    const char* name;
    std::string video;                 // the applied record's videoUrl
    std::function<void(Rig&)> before;  // what happens before the restart
    std::string line;                  // the one log line
    bool plays;
};

class Restore : public testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, PlaysTheRememberedFileWithoutAManifestOrForgetsIt) {
    const RestoreCase& c = GetParam();
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + c.video, {"w"});
    h.launch();
    h.send("lumivo://apply/w");
    ASSERT_EQ(h.w.started.size(), 1u);
    const fs::path file = h.w.started[0];
    c.before(h);
    h.w.manifest.reset();
    const int loads = h.w.manifestLoads, downloads = h.w.downloads;

    h.restart();
    EXPECT_EQ(h.lines(), Lines{c.line});
    EXPECT_EQ(h.w.started, (c.plays ? std::vector{file, file} : std::vector{file}));
    EXPECT_EQ(h.status(), c.plays ? "Playing: w" : "No Wallpaper Playing");
    EXPECT_EQ(h.remembered().has_value(), c.plays);
    EXPECT_TRUE(h.w.alerts.empty());
    EXPECT_EQ(h.w.manifestLoads, loads);
    EXPECT_EQ(h.w.downloads, downloads);
}

const std::string cachedW = "{root}/cache/Lumivo/wallpapers/w-96b050b919f3.mp4";
const std::string assetW = "{root}/web/public/assets/a.mp4";
const std::string cachedRemote = "{root}/cache/Lumivo/wallpapers/remote-96b050b919f3.mp4";

void append(const fs::path& file) {
    std::ofstream(file, std::ios::app) << "x";
}

INSTANTIATE_TEST_SUITE_P(
    AppDelegateTest, Restore,
    testing::Values(
        RestoreCase{"CachedFile", "/videos/a.mp4", [](Rig&) {}, "Restored w", true},
        RestoreCase{"CheckoutFile", "/assets/a.mp4", [](Rig&) {}, "Restored w", true},
        RestoreCase{"CachedFileAltered", "/videos/a.mp4", [](Rig& h) { append(h.cached("w")); },
                    "Cannot restore w: " + cachedW + " is not a valid cached copy.", false},
        RestoreCase{"CachedFileDeleted", "/videos/a.mp4", [](Rig& h) { fs::remove(h.cached("w")); },
                    "Cannot restore w: " + cachedW + " is gone.", false},
        RestoreCase{"CheckoutFileDeleted", "/assets/a.mp4",
                    [](Rig& h) { fs::remove(h.root / "web/public/assets/a.mp4"); },
                    "Cannot restore w: " + assetW + " is gone.", false},
        // A valid digest does not let a remembered path leave the cache.
        RestoreCase{"CachedFileMovedOutOfTheCache", "/videos/a.mp4",
                    [](Rig& h) {
                        fs::rename(h.cached("w"), h.root / "elsewhere.mp4");
                        h.w.texts["lastWallpaper/file"] = (h.root / "elsewhere.mp4").string();
                    },
                    "Cannot restore w: {root}/elsewhere.mp4 is not a valid cached copy.", false},
        // The asset rules decide again: a file they no longer lead to is refused.
        RestoreCase{
            "CheckoutFileNoLongerAnAsset", "/assets/a.mp4",
            [](Rig& h) { h.w.texts["lastWallpaper/videoUrl"] = site + "/assets/a.mov"; },
            "Cannot restore w: " + assetW + " is no longer the checkout's file for its video URL.",
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppDelegateTest, ARestoreWithoutAScreenIsLoggedAndRemembered) {
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/assets/a.mp4", {"w"});
    h.launch();
    h.send("lumivo://apply/w");
    h.w.noScreen = true;
    h.restart();
    EXPECT_EQ(h.lines(), Lines{"Cannot restore w: No main screen is available."});
    EXPECT_TRUE(h.w.alerts.empty());
    EXPECT_EQ(h.status(), "No Wallpaper Playing");
    EXPECT_TRUE(h.remembered());
}

// ---- Recent Wallpapers ----------------------------------------------------

// The items of the submenu `title`, in order, each "<title>" or "<title>*"
// when checked; none without the submenu. Each carries `action` and its place.
Lines submenuItems(const StatusMenu& menu, const std::string& title, MenuAction action) {
    Lines items;
    for (const MenuEntry& entry : menu) {
        for (const MenuEntry& item : entry.title == title ? entry.submenu : StatusMenu{}) {
            EXPECT_EQ(item.action, action);
            EXPECT_EQ(item.index, items.size());
            items.push_back(item.title + (item.checked.value_or(false) ? "*" : ""));
        }
    }
    return items;
}

Lines recentTitles(const StatusMenu& menu) {
    return submenuItems(menu, "Recent Wallpapers", MenuAction::recentWallpaper);
}

Lines changeEvery(const StatusMenu& menu) {
    return submenuItems(menu, "Change Every", MenuAction::changeEvery);
}

TEST(AppDelegateTest, RecentWallpapersPlayAgainFromTheirFilesOfflineOrFallBackToAnApply) {
    Rig h;
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/videos/b.mp4", {"remote"});
    h.launch();
    EXPECT_EQ(recentTitles(h.w.menus.back()), Lines{});
    h.send("lumivo://apply/remote");
    h.w.manifest = manifest(site + "/assets/a.mp4",
                            {"local", "a-title-far-too-long-for-any-tray-menu-to-show"});
    h.send("lumivo://apply/local");
    EXPECT_EQ(recentTitles(h.w.menus.back()), (Lines{"local", "remote"}));

    // Offline: the cached file passes its digest on the worker and plays.
    h.w.manifest.reset();
    const int loads = h.w.manifestLoads, downloads = h.w.downloads, digests = h.w.digests;
    h.launchLines = h.w.log.size();
    h.w.menuHandler(MenuChoice(MenuAction::recentWallpaper, 1));
    h.settle();
    EXPECT_EQ(h.lines(), Lines{"Applied remote"});
    EXPECT_EQ(h.w.started.back(), h.cached("remote"));
    EXPECT_EQ(h.status(), "Playing: remote");
    EXPECT_EQ(h.remembered()->file, h.cached("remote"));
    EXPECT_EQ(recentTitles(h.w.menus.back()), (Lines{"remote", "local"}));
    EXPECT_EQ(h.w.manifestLoads, loads);
    EXPECT_EQ(h.w.downloads, downloads);
    EXPECT_EQ(h.w.digests, digests + 1);

    // A file that went: one line, then the apply of its id as a URL's.
    fs::remove(h.cached("remote"));
    h.w.manifest = manifest(site + "/videos/b.mp4", {"remote"});
    h.launchLines = h.w.log.size();
    h.w.menuHandler(MenuChoice(MenuAction::recentWallpaper, 0));
    h.settle();
    const Lines lines = h.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Cannot play remote from its file: " + cachedRemote +
                                 " is gone. Applying it from the gallery.");
    EXPECT_EQ(lines.back(), "Applied remote");
    EXPECT_EQ(h.w.downloads, downloads + 1);
    EXPECT_TRUE(h.w.alerts.empty());

    // Long titles are shortened in the menu, and the list outlives the helper.
    h.w.manifest =
        manifest(site + "/assets/a.mp4", {"a-title-far-too-long-for-any-tray-menu-to-show"});
    h.send("lumivo://apply/a-title-far-too-long-for-any-tray-menu-to-show");
    h.restart();
    EXPECT_EQ(recentTitles(h.w.menus.back()),
              (Lines{"a-title-far-too-long-for-any-tray-menu-…", "remote", "local"}));
}

TEST(AppDelegateTest, ChangeEveryStoresItsPeriodAndShowsOneSetByHand) {
    Rig h;
    // Any whole number of minutes from the settings file counts, and shows.
    h.w.texts["rotateMinutes"] = "1";
    h.launch();
    EXPECT_EQ(changeEvery(h.w.menus.back()), Lines{}) << "nothing to change to yet";
    h.write("assets/a.mp4");
    h.w.manifest = manifest(site + "/assets/a.mp4", {"a"});
    h.send("lumivo://apply/a");
    EXPECT_EQ(changeEvery(h.w.menus.back()),
              (Lines{"Never", "10 Minutes", "1 Hour", "1 Day", "1 Minute*"}));
    h.w.menuHandler(MenuChoice(MenuAction::changeEvery, 4));  // the one set: kept
    h.settle();
    EXPECT_EQ(h.w.texts["rotateMinutes"], "1");

    for (const auto& [index, stored, checked] :
         {std::tuple{2, "60", "1 Hour*"}, {3, "1440", "1 Day*"}, {1, "10", "10 Minutes*"}}) {
        h.w.menuHandler(MenuChoice(MenuAction::changeEvery, index));
        h.settle();
        EXPECT_EQ(h.w.texts["rotateMinutes"], stored);
        EXPECT_EQ(changeEvery(h.w.menus.back()).at(index), checked);
    }
    h.w.menuHandler(MenuChoice(MenuAction::changeEvery, 0));
    h.settle();
    EXPECT_FALSE(h.w.texts.contains("rotateMinutes"));
    EXPECT_EQ(changeEvery(h.w.menus.back()), (Lines{"Never*", "10 Minutes", "1 Hour", "1 Day"}));

    // Anything else means never, said once.
    h.w.texts["rotateMinutes"] = "soon";
    h.launchLines = h.w.log.size();
    h.send("lumivo://apply/a");
    h.send("lumivo://apply/a");
    EXPECT_EQ(changeEvery(h.w.menus.back()).at(0), "Never*");
    EXPECT_EQ(std::count(h.w.log.begin(), h.w.log.end(),
                         "[LumivoHelper] Ignoring rotateMinutes=soon: not a whole number of "
                         "minutes; the wallpaper does not change"),
              1);
}

// GNOME Shell's extension as the tray sees it: offered or not, and what
// enabling answers.
struct FakeShell : ShellIntegrating {
    bool offered = false;
    std::optional<std::string> answer;
    int enables = 0;
    std::function<void()> changed;
    bool offersEnabling() const override { return offered; }
    void enable(std::function<void(std::optional<std::string>)> done) override {
        ++enables;
        done(answer);
    }
    void onChanged(std::function<void()> f) override { changed = std::move(f); }
};

bool menuOffersGnome(const Rig& h) {
    const StatusMenu& menu = h.w.menus.back();
    return std::any_of(menu.begin(), menu.end(), [](const MenuEntry& e) {
        return e.title == "Enable GNOME Integration" &&
               e.action == MenuAction::enableGnomeIntegration && e.enabled;
    });
}

TEST(AppDelegateTest, EnableGnomeIntegrationFollowsTheShellAndSaysWhatStandsInTheWay) {
    Rig h;
    auto owned = std::make_unique<FakeShell>();
    FakeShell& shell = *owned;
    h.shell = std::move(owned);
    h.launch();
    EXPECT_FALSE(menuOffersGnome(h));
    // Installed but off: offered as soon as the Shell says so.
    shell.offered = true;
    shell.changed();
    EXPECT_TRUE(menuOffersGnome(h));

    shell.answer = "log out and back in";
    h.w.menuHandler(MenuAction::enableGnomeIntegration);
    EXPECT_EQ(shell.enables, 1);
    EXPECT_EQ(h.lines(), Lines{"log out and back in"});
    ASSERT_EQ(h.w.alerts.size(), 1u);
    EXPECT_EQ(h.w.alerts[0].informativeText, "log out and back in");
    EXPECT_EQ(h.w.alerts[0].buttons, std::vector<std::string>{"OK"});

    shell.answer.reset();
    h.w.menuHandler(MenuAction::enableGnomeIntegration);
    EXPECT_EQ(h.lines().back(), "GNOME integration enabled");
    EXPECT_EQ(h.w.alerts.size(), 1u);
    shell.offered = false;
    shell.changed();
    EXPECT_FALSE(menuOffersGnome(h));
}

TEST(AppDelegateTest, StartAtLoginTogglesTheEntryAndItsCheckMarkFollowsTheFile) {
    Rig h;
    const fs::path entry = h.root / "config/autostart/app.lumivo.Helper.desktop";
    const auto checkMark = [&] {
        const MenuEntry& item = h.w.menus.back().at(7);
        EXPECT_EQ(item.title, "Start at Login");
        return item.checked;
    };
    h.launch();
    EXPECT_EQ(checkMark(), false);
    h.w.menuHandler(MenuAction::startAtLogin);
    h.settle();
    EXPECT_TRUE(fs::is_regular_file(entry));
    EXPECT_EQ(checkMark(), true);
    h.w.menuHandler(MenuAction::startAtLogin);
    h.settle();
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(checkMark(), false);

    // A folder where the entry's folder belongs: the error alert, no check mark.
    fs::remove_all(h.root / "config");
    std::ofstream(h.root / "config") << "";
    h.w.menuHandler(MenuAction::startAtLogin);
    h.settle();
    ASSERT_EQ(h.w.alerts.size(), 1u);
    EXPECT_NE(h.w.alerts[0].informativeText.find("Could not create"), std::string::npos);
    EXPECT_EQ(checkMark(), false);
}

TEST(AppDelegateTest, TheChosenScreenModeIsStoredAppliedAndCheckedAcrossStarts) {
    // The Screens submenu's check marks, in menu order.
    const auto checks = [](const World& w) {
        std::vector<bool> marks;
        for (const MenuEntry& choice : w.menus.back().at(6).submenu) {
            marks.push_back(choice.checked.value_or(false));
        }
        return marks;
    };
    std::map<std::string, std::string> stored;
    {
        Rig h;
        h.launch();
        EXPECT_EQ(h.w.screenMode, ScreenMode::AllScreens);
        EXPECT_EQ(checks(h.w), (std::vector<bool>{true, false, false, false}));
        h.w.menuHandler(MenuAction::screensSpan);
        h.settle();
        EXPECT_EQ(h.w.screenMode, ScreenMode::SpanAcrossScreens);
        EXPECT_EQ(h.w.texts["screens"], "span");
        EXPECT_EQ(checks(h.w), (std::vector<bool>{false, true, false, false}));
        stored = h.w.texts;
    }
    Rig next;
    next.w.texts = stored;
    next.launch();
    EXPECT_EQ(next.w.screenMode, ScreenMode::SpanAcrossScreens);
    EXPECT_EQ(checks(next.w), (std::vector<bool>{false, true, false, false}));
}

TEST(AppDelegateTest, AnUnknownStoredScreenModeMeansAllScreens) {
    Rig h;
    h.w.texts["screens"] = "sideways";
    h.launch();
    EXPECT_EQ(h.w.screenMode, ScreenMode::AllScreens);
}

// ---- Each screen separately ---------------------------------------------

// The entries of the Screens submenu's submenu for `screen`, by title.
Lines screenItems(const StatusMenu& menu, const std::string& screen) {
    Lines items;
    for (const MenuEntry& entry : menu) {
        for (const MenuEntry& sub : entry.title == "Screens" ? entry.submenu : StatusMenu{}) {
            for (const MenuEntry& item : sub.title == screen ? sub.submenu : StatusMenu{}) {
                EXPECT_EQ(item.action, MenuAction::screenWallpaper);
                EXPECT_EQ(item.screen, screen);
                items.push_back(item.title);
            }
        }
    }
    return items;
}

// In each-screen mode, "aurora" (a.mp4) applied everywhere, then "tidal"
// (b.mp4) with the pointer on the RIGHT screen.
void playTwoInEachScreenMode(Rig& h) {
    h.write("assets/a.mp4");
    h.write("assets/b.mp4");
    h.w.texts["screens"] = "each";
    h.w.manifest = manifest(site + "/assets/a.mp4", {"aurora"});
    h.launch();
    h.send("lumivo://apply/aurora");
    h.w.manifest = manifest(site + "/assets/b.mp4", {"tidal"});
    h.w.focused = "RIGHT";
    h.send("lumivo://apply/tidal");
}

TEST(AppDelegateTest, InEachScreenModeAnApplyLandsOnTheScreenLookedAtAndTheOthersStay) {
    Rig h;
    h.write("assets/a.mp4");
    h.write("assets/b.mp4");
    h.w.texts["screens"] = "each";
    h.w.manifest = manifest(site + "/assets/a.mp4", {"aurora"});
    h.launch();
    h.send("lumivo://apply/aurora");  // nothing played: every screen
    const fs::path a = h.root / "web/public/assets/a.mp4", b = h.root / "web/public/assets/b.mp4";
    EXPECT_EQ(h.w.everywhere, a);
    EXPECT_EQ(h.status(), "Playing: aurora");
    EXPECT_EQ(screenItems(h.w.menus.back(), "RIGHT"), Lines{"aurora"});

    h.w.manifest = manifest(site + "/assets/b.mp4", {"tidal"});
    h.w.focused = "RIGHT";
    h.send("lumivo://apply/tidal");
    EXPECT_EQ(h.w.everywhere, a);
    EXPECT_EQ(h.w.onScreen, (std::map<std::string, fs::path>{{"RIGHT", b}}));
    EXPECT_EQ(h.status(), "Playing: aurora, tidal");
    EXPECT_EQ(h.remembered()->id, "aurora");
    EXPECT_EQ(screenItems(h.w.menus.back(), "LEFT"), (Lines{"tidal", "aurora"}));

    // A screen's own submenu: offline, on that screen whatever is focused.
    h.w.manifest.reset();
    h.w.menuHandler(MenuChoice(MenuAction::screenWallpaper, 0, "LEFT"));
    h.settle();
    EXPECT_EQ(h.w.onScreen, (std::map<std::string, fs::path>{{"LEFT", b}, {"RIGHT", b}}));
    EXPECT_EQ(h.status(), "Playing: tidal");
    EXPECT_TRUE(h.w.alerts.empty());
}

TEST(AppDelegateTest, EachScreensWallpaperComesBackAtLoginAndAMissingScreenIsSkipped) {
    Rig h;
    playTwoInEachScreenMode(h);
    const auto restartIdle = [&] {
        h.w.everywhere.clear();
        h.w.onScreen.clear();
        h.w.manifest.reset();
        h.restart();
    };
    const fs::path b = h.root / "web/public/assets/b.mp4";
    restartIdle();
    EXPECT_EQ(h.lines(), (Lines{"Restored aurora", "Restored tidal on RIGHT"}));
    EXPECT_EQ(h.w.onScreen, (std::map<std::string, fs::path>{{"RIGHT", b}}));
    EXPECT_EQ(h.status(), "Playing: aurora, tidal");

    // Unplugged: skipped with one line, and kept for a login with it.
    h.w.monitors.pop_back();
    restartIdle();
    EXPECT_EQ(h.lines(),
              (Lines{"Restored aurora", "Skipped tidal on RIGHT: the screen is not connected"}));
    EXPECT_TRUE(h.w.onScreen.empty());
    h.w.monitors.push_back({"RIGHT", {1280, 0, 1280, 720}, false});
    restartIdle();
    EXPECT_EQ(h.w.onScreen, (std::map<std::string, fs::path>{{"RIGHT", b}}));

    // A screen's file that fails its check: one line, and forgotten.
    fs::remove(b);
    restartIdle();
    EXPECT_EQ(h.lines(),
              (Lines{"Cannot restore tidal on RIGHT: {root}/web/public/assets/b.mp4 is gone.",
                     "Restored aurora"}));
    EXPECT_TRUE(h.w.onScreen.empty());
    EXPECT_FALSE(h.w.texts.contains("screenWallpapers/1/screen"));
}

TEST(AppDelegateTest, LeavingEachScreenModeKeepsTheFocusedScreensWallpaperEverywhere) {
    Rig h;
    playTwoInEachScreenMode(h);
    h.w.menuHandler(MenuAction::screensAll);
    h.settle();
    EXPECT_EQ(h.w.everywhere, h.root / "web/public/assets/b.mp4");
    EXPECT_EQ(h.status(), "Playing: tidal");
    EXPECT_EQ(h.remembered()->id, "tidal");
    EXPECT_FALSE(h.w.texts.contains("screenWallpapers/count"));
    EXPECT_EQ(screenItems(h.w.menus.back(), "RIGHT"), Lines{}) << "only in each-screen mode";
    // Back: every screen keeps it until an apply changes one.
    h.w.menuHandler(MenuAction::screensEach);
    h.settle();
    EXPECT_EQ(h.status(), "Playing: tidal");
    EXPECT_TRUE(h.w.onScreen.empty());
}

}  // namespace
}  // namespace lumivo::test
