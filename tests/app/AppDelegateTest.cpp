#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AppDelegate.hpp"
#include "AppFakes.hpp"
#include "HelperConstants.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string videoBytes = "video bytes";
const std::string videoSha = "96b050b919f3fca2fc8b6923537136a197ad13c583beb1438d1a12ccbc999c42";

std::string origin() {
    return "https://" + std::string(HelperConstants::webOrigin());
}

std::string recordJson(const std::string& id, const std::string& title, const std::string& video,
                       const std::string& sha = videoSha) {
    return R"({"id":")" + id + R"(","slug":")" + id + R"(","title":")" + title +
           R"(","category":"Test","thumbnailUrl":"/assets/thumbnails/)" + id +
           R"(.png","videoUrl":")" + video + R"(","sha256":")" + sha +
           R"(","bytes":11,"duration":8.0,"width":1280,"height":720,"format":"mp4",)" +
           R"("updatedAt":"2026-01-01T00:00:00Z"})";
}

std::string manifestJson(const std::vector<std::string>& records) {
    std::string json = "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        json += (i ? "," : "") + records[i];
    }
    return json + "]";
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// Spins the event loop until `done` holds; false after `limit`.
template <typename Predicate>
bool spinUntil(Predicate done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void spinFor(std::chrono::milliseconds span) {
    const auto deadline = std::chrono::steady_clock::now() + span;
    spinUntil([&] { return std::chrono::steady_clock::now() > deadline; }, span + 1s);
}

class AppDelegateTest : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("lumivo-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(dir);
        projectRoot = dir / "gallery";
        publicRoot = projectRoot / "web" / "public";
        fs::create_directories(publicRoot);
        ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        r.settings["hasShownWelcome"] = true;
    }

    void TearDown() override {
        delegate.reset();
        fs::remove_all(dir);
    }

    void launch() {
        AppDelegate::Sources sources;
        sources.remoteLoader = std::make_unique<FakeManifestLoader>(remote);
        // The local manifest is a real file read by the real loader.
        sources.localLoader = std::make_unique<URLManifestDataLoader>();
        sources.downloader = std::make_unique<FakeDownloader>(downloads);
        sources.fileManager = &FileManager::standard();
        sources.cancelDownload = [this] { downloads.cancel(); };
        sources.setProgressHandler = [this](AppDelegate::ProgressHandler handler) {
            downloads.progress = std::move(handler);
        };
        AppDelegate::Platform platform;
        platform.player = std::make_unique<FakePlayer>(r);
        platform.alerts = std::make_unique<FakeAlerts>(r);
        platform.browser = std::make_unique<FakeBrowser>(r);
        platform.settings = std::make_unique<FakeSettings>(r);
        platform.log = std::make_unique<FakeLog>(r);
        platform.makeStatusItem = [this](AppDelegate::MenuHandler handler, Logging&) {
            r.menuHandler = std::move(handler);
            return std::make_unique<FakeStatusItem>(r);
        };
        platform.terminate = [this] { ++r.terminations; };
        delegate = std::make_unique<AppDelegate>(HelperLocations::fromProjectRoot(projectRoot),
                                                 std::move(sources), std::move(platform));
        delegate->applicationDidFinishLaunching();
        settle();
        launchLines = r.log.size();
    }

    void settle() {
        ASSERT_TRUE(spinUntil([&] { return delegate->isIdle(); }));
    }

    void send(const std::string& url) {
        delegate->handleURLEvent(url);
        settle();
    }

    // Log lines written after launch, without the "[LumivoHelper] " prefix.
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        for (std::size_t i = launchLines; i < r.log.size(); ++i) {
            EXPECT_EQ(r.log[i].rfind("[LumivoHelper] ", 0), 0u) << r.log[i];
            result.push_back(r.log[i].substr(15));
        }
        return result;
    }

    std::string status() const { return r.menus.back().at(0).title; }
    bool stopEnabled() const { return r.menus.back().at(2).enabled; }

    void setRemote(const std::vector<std::string>& records) {
        std::lock_guard lock(remote.mutex);
        remote.body = manifestJson(records);
    }
    fs::path localManifest() const { return publicRoot / "api" / "wallpapers.json"; }
    fs::path cacheFile(const std::string& id) const {
        return dir / "cache" / "Lumivo" / "wallpapers" /
               (id + "-" + videoSha.substr(0, 12) + ".mp4");
    }

    static inline int counter = 0;
    fs::path dir, projectRoot, publicRoot;
    Recorder r;
    RemoteManifest remote;
    Downloads downloads;
    std::size_t launchLines = 0;
    std::unique_ptr<AppDelegate> delegate;
};

// ---- Which manifest answers ----------------------------------------------

struct ManifestCase {
    const char* name;
    friend void PrintTo(const ManifestCase& c, std::ostream* os) { *os << c.name; }
    std::optional<std::string> local;  // local manifest file content, if any
    std::optional<std::string> remote;
    std::optional<std::string> remoteFailure;
    int remoteCalls;
    // Expected lines after launch; "{local}" stands for the local manifest path,
    // a trailing "*" matches any rest of the line.
    std::vector<std::string> lines;
};

class ManifestChoiceTest : public AppDelegateTest,
                           public testing::WithParamInterface<ManifestCase> {};

TEST_P(ManifestChoiceTest, LooksUpTheRightManifestAndLogsIt) {
    const auto& c = GetParam();
    writeFile(publicRoot / "assets/wallpapers/a.mp4", videoBytes);
    if (c.local) {
        writeFile(localManifest(), *c.local);
    }
    if (c.remote) {
        std::lock_guard lock(remote.mutex);
        remote.body = *c.remote;
    }
    remote.failure = c.remoteFailure;
    launch();
    send("lumivo://apply/a");

    const auto actual = lines();
    ASSERT_EQ(actual.size(), c.lines.size()) << testing::PrintToString(actual);
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        std::string expected = c.lines[i];
        if (const auto at = expected.find("{local}"); at != std::string::npos) {
            expected.replace(at, 7, localManifest().string());
        }
        if (expected.ends_with("*")) {
            EXPECT_EQ(actual[i].rfind(expected.substr(0, expected.size() - 1), 0), 0u) << actual[i];
        } else {
            EXPECT_EQ(actual[i], expected);
        }
    }
    EXPECT_EQ(remote.calls, c.remoteCalls);
}

const std::string recordA = recordJson("a", "Alpha", "https://x.example/assets/wallpapers/a.mp4");
const std::string recordB = recordJson("b", "Beta", "https://x.example/assets/wallpapers/a.mp4");

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestChoiceTest,
    testing::Values(
        ManifestCase{
            "LocalReadable",
            manifestJson({recordA}),
            manifestJson({recordB}),
            std::nullopt,
            0,
            {"Using local manifest: {local}", "Using local asset fallback: *", "Applied Alpha"}},
        ManifestCase{
            "LocalReadableWithoutTheIdNeverAsksRemote",
            manifestJson({recordB}),
            manifestJson({recordA}),
            std::nullopt,
            0,
            {"Using local manifest: {local}", "ERROR: No wallpaper in manifest for id a."}},
        ManifestCase{"LocalReadableButEmptyIsShown",
                     "[]",
                     manifestJson({recordA}),
                     std::nullopt,
                     0,
                     {"Using local manifest: {local}", "ERROR: Wallpaper manifest is empty."}},
        ManifestCase{"RemoteWhenNoLocalFile",
                     std::nullopt,
                     manifestJson({recordA}),
                     std::nullopt,
                     1,
                     {"Using local asset fallback: *", "Applied Alpha"}},
        ManifestCase{"RemoteWithoutTheIdIsNotRetriedLocally",
                     std::nullopt,
                     manifestJson({recordB}),
                     std::nullopt,
                     1,
                     {"ERROR: No wallpaper in manifest for id a."}},
        ManifestCase{"RemoteFailingFallsBackToLocalAndShowsItsError",
                     std::nullopt,
                     std::nullopt,
                     "connection refused",
                     1,
                     {"Remote manifest failed, trying local manifest: Could not read wallpaper "
                      "manifest: connection refused",
                      "ERROR: Could not read wallpaper manifest: *"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Where the video comes from ------------------------------------------

struct AssetCase {
    const char* name;
    friend void PrintTo(const AssetCase& c, std::ostream* os) { *os << c.name; }
    std::string videoUrl;
    std::string fileCreated;  // relative to the project root's web/public
    bool playsLocalFile;
    int downloads = 1;  // otherwise the cache is asked
};

class LocalAssetTest : public AppDelegateTest, public testing::WithParamInterface<AssetCase> {};

TEST_P(LocalAssetTest, PlaysACheckoutFileOnlyUnderTheAssetPrefixes) {
    const auto& c = GetParam();
    const fs::path file = (publicRoot / c.fileCreated).lexically_normal();
    writeFile(file, videoBytes);
    setRemote({recordJson("a", "Alpha", c.videoUrl)});
    downloads.content = videoBytes;
    launch();
    send("lumivo://apply/a");

    const bool playedLocal = !r.started.empty() && r.started.back() == fs::canonical(file);
    EXPECT_EQ(playedLocal, c.playsLocalFile);
    EXPECT_EQ(downloads.calls, c.playsLocalFile ? 0 : c.downloads);
    if (c.playsLocalFile) {
        EXPECT_EQ(lines().front(), "Using local asset fallback: " + fs::canonical(file).string());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalAssetTest,
    testing::Values(
        AssetCase{"AssetsPrefix", origin() + "/assets/wallpapers/a.mp4", "assets/wallpapers/a.mp4",
                  true},
        AssetCase{"VelmorAssetsPrefix", origin() + "/velmor-assets/a.mp4", "velmor-assets/a.mp4",
                  true},
        // The policy would refuse this host and digest; a checkout file needs no policy.
        AssetCase{"IgnoresThePolicy", "http://elsewhere.example/assets/a.mp4?x=1", "assets/a.mp4",
                  true},
        AssetCase{"UpperCaseExtension", origin() + "/assets/A.MP4", "assets/A.MP4", true},
        AssetCase{"PercentEncodedName", origin() + "/assets/my%20clip.mp4", "assets/my clip.mp4",
                  true},
        AssetCase{"PrefixIsCaseSensitive", origin() + "/Assets/a.mp4", "Assets/a.mp4", false},
        AssetCase{"OtherFirstSegment", origin() + "/media/a.mp4", "media/a.mp4", false},
        // Not local, and the policy refuses to download it.
        AssetCase{"NotAnMp4", origin() + "/assets/b.mov", "assets/b.mov", false, 0},
        AssetCase{"DotDotCannotLeaveTheCheckout", origin() + "/assets/../../../secret.mp4",
                  "assets/../../../secret.mp4", false},
        AssetCase{"EncodedDotDotCannotLeaveTheCheckout",
                  origin() + "/assets/%2e%2e/%2e%2e/%2e%2e/secret.mp4",
                  "assets/../../../secret.mp4", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, FollowsASymbolicLinkInTheCheckoutToItsTarget) {
    writeFile(dir / "elsewhere" / "real.mp4", videoBytes);
    fs::create_directories(publicRoot / "assets");
    fs::create_symlink(dir / "elsewhere" / "real.mp4", publicRoot / "assets" / "link.mp4");
    setRemote({recordJson("a", "Alpha", origin() + "/assets/link.mp4")});
    launch();
    send("lumivo://apply/a");
    ASSERT_EQ(r.started.size(), 1u);
    EXPECT_EQ(r.started[0], fs::canonical(dir / "elsewhere" / "real.mp4"));
}

TEST_F(AppDelegateTest, DownloadsOnceShowsProgressAndThenReusesTheCache) {
    setRemote({recordJson("b", "Beta", origin() + "/videos/b.mp4")});
    downloads.content = videoBytes;
    launch();
    send("lumivo://apply/b");
    send("lumivo://apply/b");

    EXPECT_EQ(downloads.calls, 1);
    EXPECT_EQ(r.started, (std::vector<fs::path>{cacheFile("b"), cacheFile("b")}));
    EXPECT_EQ(lines(), (std::vector<std::string>{"Applied Beta", "Applied Beta"}));
    // Progress of the one download, then the plain name again after each apply.
    EXPECT_EQ(r.toolTips,
              (std::vector<std::string>{"Downloading Beta: 45%", "Downloading Beta: 100%",
                                        "Lumivo Helper", "Lumivo Helper"}));
}

TEST_F(AppDelegateTest, CacheFailureLooksForTheCheckoutFileOnceMore) {
    const fs::path late = publicRoot / "assets" / "late.mp4";
    setRemote({recordJson("a", "Alpha", origin() + "/assets/late.mp4")});
    downloads.failure = HelperError::downloadFailed("network down");
    // The file turns up while the download is under way.
    downloads.beforeFailing = [&] { writeFile(late, videoBytes); };
    launch();
    send("lumivo://apply/a");

    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Download failed, using local asset fallback: Wallpaper download "
                           "failed: network down",
                           "Applied Alpha"}));
    EXPECT_EQ(r.started, std::vector<fs::path>{fs::canonical(late)});
    EXPECT_TRUE(r.alerts.empty());
}

TEST_F(AppDelegateTest, CacheFailureWithoutCheckoutFileShowsTheCacheErrorUnchanged) {
    setRemote({recordJson(
        "a", "Alpha", "http://" + std::string(HelperConstants::webOrigin()) + "/videos/a.mp4")});
    launch();
    send("lumivo://apply/a");
    EXPECT_EQ(lines(), std::vector<std::string>{"ERROR: Wallpaper download must use HTTPS."});
    EXPECT_EQ(downloads.calls, 0);
    ASSERT_EQ(r.alerts.size(), 1u);
    EXPECT_EQ(r.alerts[0].informativeText, "Wallpaper download must use HTTPS.");
}

// ---- The error alert -----------------------------------------------------

struct AnswerCase {
    const char* name;
    friend void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }
    int answer;
    std::vector<std::string> opened;
    int stops;
    int terminations;
};

class ErrorAlertTest : public AppDelegateTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(ErrorAlertTest, ActsOnTheAnswer) {
    const auto& c = GetParam();
    launch();
    r.alertAnswers = {c.answer};
    send("lumivo://bogus");

    ASSERT_EQ(r.alerts.size(), 1u);
    EXPECT_EQ(r.alerts[0].messageText, "Lumivo Helper");
    EXPECT_EQ(r.alerts[0].informativeText, "Unknown action: bogus.");
    EXPECT_EQ(r.alerts[0].style, AlertRequest::Style::warning);
    EXPECT_EQ(r.alerts[0].buttons, (std::vector<std::string>{"Open Gallery", "Quit", "Cancel"}));
    EXPECT_EQ(lines(), std::vector<std::string>{"ERROR: Unknown action: bogus."});
    EXPECT_EQ(r.opened, c.opened);
    EXPECT_EQ(r.stops, c.stops);
    EXPECT_EQ(r.terminations, c.terminations);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ErrorAlertTest,
    testing::Values(AnswerCase{"OpenGallery", 0, {"http://127.0.0.1:4173/live-wallpapers/"}, 0, 0},
                    AnswerCase{"Quit", 1, {}, 1, 1}, AnswerCase{"Cancel", 2, {}, 0, 0},
                    AnswerCase{"ClosedWithoutAnswer", -1, {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, QuitFromTheAlertDropsTheCommandsWaitingBehindIt) {
    launch();
    r.alertAnswers = {1};
    delegate->handleURLEvent("lumivo://bogus");
    delegate->handleURLEvent("lumivo://ping");
    spinFor(100ms);
    EXPECT_EQ(lines(), std::vector<std::string>{"ERROR: Unknown action: bogus."});
    EXPECT_EQ(r.terminations, 1);
}

struct BadURLCase {
    const char* name;
    friend void PrintTo(const BadURLCase& c, std::ostream* os) { *os << c.name; }
    std::optional<std::string> text;
    std::string message;
};

class BadURLTest : public AppDelegateTest, public testing::WithParamInterface<BadURLCase> {};

TEST_P(BadURLTest, ShowsTheError) {
    launch();
    delegate->handleURLEvent(GetParam().text);
    settle();
    EXPECT_EQ(lines(), std::vector<std::string>{"ERROR: " + GetParam().message});
    EXPECT_EQ(r.alerts.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadURLTest,
    testing::Values(BadURLCase{"NoText", std::nullopt, "Invalid lumivo URL."},
                    BadURLCase{"Empty", "", "Invalid lumivo URL."},
                    BadURLCase{"NotAURL", "lumivo://apply/a b", "Invalid lumivo URL."},
                    BadURLCase{"OtherScheme", "https://apply/a", "Invalid lumivo URL."},
                    BadURLCase{"NoId", "lumivo://apply/", "Invalid wallpaper id."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Busy flag and menu on every way out ---------------------------------

struct SettleCase {
    const char* name;
    friend void PrintTo(const SettleCase& c, std::ostream* os) { *os << c.name; }
    bool playingBefore;
    std::string url;
    bool noScreen;
    std::string statusAfter;  // also what the menu showed when the alert came
    bool alert;
};

class SettleTest : public AppDelegateTest, public testing::WithParamInterface<SettleCase> {};

TEST_P(SettleTest, MenuShowsDownloadingThenTheSettledStateBeforeAnyAlert) {
    const auto& c = GetParam();
    writeFile(publicRoot / "assets/a.mp4", videoBytes);
    setRemote({recordJson("a", "Alpha", origin() + "/assets/a.mp4"),
               recordJson("c", "Gamma", origin() + "/assets/a.mp4")});
    launch();
    if (c.playingBefore) {
        send("lumivo://apply/c");
    }
    r.noScreen = c.noScreen;
    const auto before = r.menus.size();
    const auto startsBefore = r.started.size();
    send(c.url);

    ASSERT_EQ(r.menus.size(), before + 2);
    EXPECT_EQ(r.menus[before].at(0).title, "Downloading...");
    EXPECT_EQ(r.menus[before].at(2).enabled, c.playingBefore);
    EXPECT_EQ(status(), c.statusAfter);
    EXPECT_EQ(stopEnabled(), c.statusAfter != "No Wallpaper Playing");
    EXPECT_EQ(r.alerts.size(), c.alert ? 1u : 0u);
    if (c.alert) {
        EXPECT_EQ(r.menuAtAlert.back().at(0).title, c.statusAfter);
        EXPECT_EQ(r.started.size(), startsBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettleTest,
    testing::Values(
        SettleCase{"SuccessFromIdle", false, "lumivo://apply/a", false, "Playing: Alpha", false},
        SettleCase{"SuccessReplacing", true, "lumivo://apply/a", false, "Playing: Alpha", false},
        SettleCase{"MissingFromIdle", false, "lumivo://apply/zz", false, "No Wallpaper Playing",
                   true},
        SettleCase{"MissingWhilePlaying", true, "lumivo://apply/zz", false, "Playing: Gamma", true},
        SettleCase{"NoScreenWhilePlaying", true, "lumivo://apply/a", true, "Playing: Gamma", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, StatusLineShowsAnEmptyTitleVerbatim) {
    writeFile(publicRoot / "assets/a.mp4", videoBytes);
    setRemote({recordJson("a", "", origin() + "/assets/a.mp4")});
    launch();
    send("lumivo://apply/a");
    EXPECT_EQ(status(), "Playing: ");
    EXPECT_TRUE(stopEnabled());
}

// ---- stop, ping and the menu's actions -----------------------------------

TEST_F(AppDelegateTest, PingOnlyLogs) {
    launch();
    const auto menus = r.menus.size();
    send("lumivo://ping");
    EXPECT_EQ(lines(), std::vector<std::string>{"ping"});
    EXPECT_EQ(r.menus.size(), menus);
    EXPECT_EQ(r.stops, 0);
    EXPECT_TRUE(r.alerts.empty());
}

TEST_F(AppDelegateTest, StopByURLAndByMenuClearTheTitleEvenWhenNothingPlays) {
    writeFile(publicRoot / "assets/a.mp4", videoBytes);
    setRemote({recordJson("a", "Alpha", origin() + "/assets/a.mp4")});
    launch();
    send("lumivo://apply/a");
    send("lumivo://stop");
    EXPECT_EQ(status(), "No Wallpaper Playing");
    EXPECT_FALSE(stopEnabled());
    r.menuHandler(MenuAction::stopWallpaper);
    settle();
    EXPECT_EQ(r.stops, 2);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Using local asset fallback: " +
                               fs::canonical(publicRoot / "assets/a.mp4").string(),
                           "Applied Alpha", "Stopped wallpaper", "Stopped wallpaper"}));
}

TEST_F(AppDelegateTest, PagesFollowWhetherTheProjectRootExists) {
    launch();
    r.menuHandler(MenuAction::openGallery);
    r.menuHandler(MenuAction::checkForUpdates);
    settle();
    fs::remove_all(projectRoot);
    r.menuHandler(MenuAction::openGallery);
    r.menuHandler(MenuAction::checkForUpdates);
    settle();
    EXPECT_EQ(r.opened,
              (std::vector<std::string>{
                  "http://127.0.0.1:4173/live-wallpapers/", "http://127.0.0.1:4173/mac-helper/",
                  origin() + "/live-wallpapers/", origin() + "/mac-helper/"}));
}

// ---- Launch and welcome --------------------------------------------------

struct WelcomeCase {
    const char* name;
    friend void PrintTo(const WelcomeCase& c, std::ostream* os) { *os << c.name; }
    std::optional<bool> shownBefore;
    int answer;
    bool alert;
    std::vector<std::string> opened;
};

class WelcomeTest : public AppDelegateTest, public testing::WithParamInterface<WelcomeCase> {};

TEST_P(WelcomeTest, ShowsOnceAndLogsTheStartLineAfterIt) {
    const auto& c = GetParam();
    r.settings.clear();
    if (c.shownBefore) {
        r.settings["hasShownWelcome"] = *c.shownBefore;
    }
    r.alertAnswers = {c.answer};
    launch();

    ASSERT_EQ(r.alerts.size(), c.alert ? 1u : 0u);
    if (c.alert) {
        EXPECT_EQ(r.alerts[0].messageText, "Lumivo Helper is running");
        EXPECT_EQ(r.alerts[0].informativeText,
                  "Look for the Lumivo Helper icon in the menu bar. Return to the gallery and "
                  "click Apply to Mac on any wallpaper.");
        EXPECT_EQ(r.alerts[0].style, AlertRequest::Style::informational);
        EXPECT_EQ(r.alerts[0].buttons, (std::vector<std::string>{"Open Gallery", "OK"}));
        // The flag is written before the alert, and the menu exists already.
        EXPECT_EQ(r.welcomeFlagAtAlert[0], std::optional<bool>(true));
        EXPECT_EQ(r.menuAtAlert[0].at(0).title, "No Wallpaper Playing");
        EXPECT_EQ(r.logSizeAtAlert[0], 0u);
    }
    EXPECT_TRUE(r.settings.at("hasShownWelcome"));
    EXPECT_EQ(r.opened, c.opened);
    EXPECT_EQ(r.log, std::vector<std::string>{"[LumivoHelper] Helper started. Manifest: " +
                                              origin() + "/api/wallpapers.json"});
}

INSTANTIATE_TEST_SUITE_P(Cases, WelcomeTest,
                         testing::Values(WelcomeCase{"FirstRunOpenGallery",
                                                     std::nullopt,
                                                     0,
                                                     true,
                                                     {"http://127.0.0.1:4173/live-wallpapers/"}},
                                         WelcomeCase{"FirstRunOK", std::nullopt, 1, true, {}},
                                         WelcomeCase{"FlagFalse", false, 1, true, {}},
                                         WelcomeCase{"SecondRun", true, 0, false, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, AURLArrivingDuringTheWelcomeWaitsForTheStartLine) {
    r.settings.clear();
    launch();  // the welcome runs inside; the URL below was queued behind it
    delegate->handleURLEvent("lumivo://ping");
    settle();
    EXPECT_EQ(r.log.size(), 2u);
    EXPECT_EQ(r.log.back(), "[LumivoHelper] ping");
}

// ---- Commands in order while an apply runs; quit at once -----------------

TEST_F(AppDelegateTest, CommandsWaitTheirTurnWhileTheEventLoopStaysLive) {
    setRemote({recordJson("b", "Beta", origin() + "/videos/b.mp4")});
    downloads.content = videoBytes;
    downloads.hold = true;
    launch();
    delegate->handleURLEvent("lumivo://apply/b");
    delegate->handleURLEvent("lumivo://ping");
    r.menuHandler(MenuAction::openGallery);
    delegate->handleURLEvent("lumivo://stop");
    ASSERT_TRUE(spinUntil([&] { return downloads.isWaiting(); }));

    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    spinFor(100ms);
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(status(), "Downloading...");
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(r.opened.empty());

    downloads.release();
    settle();
    EXPECT_EQ(lines(), (std::vector<std::string>{"Applied Beta", "ping", "Stopped wallpaper"}));
    EXPECT_EQ(r.opened, std::vector<std::string>{"http://127.0.0.1:4173/live-wallpapers/"});
    EXPECT_EQ(status(), "No Wallpaper Playing");
}

TEST_F(AppDelegateTest, QuitDuringADownloadCancelsStopsAndIgnoresWhatFollows) {
    setRemote({recordJson("b", "Beta", origin() + "/videos/b.mp4")});
    downloads.hold = true;
    launch();
    delegate->handleURLEvent("lumivo://apply/b");
    ASSERT_TRUE(spinUntil([&] { return downloads.isWaiting(); }));

    r.menuHandler(MenuAction::quit);
    EXPECT_EQ(downloads.cancels, 1);
    EXPECT_EQ(r.stops, 1);
    EXPECT_EQ(r.terminations, 1);

    delegate->handleURLEvent("lumivo://ping");
    ASSERT_TRUE(delegate->waitForBackgroundWork(5s));
    spinFor(100ms);
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(r.alerts.empty());
    EXPECT_TRUE(r.started.empty());
}

}  // namespace
}  // namespace lumivo::test
