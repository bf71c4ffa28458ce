#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <QTimer>

#include "AppDelegate.hpp"
#include "AppFakes.hpp"
#include "HelperConstants.hpp"
#include "URLManifestDataLoader.hpp"

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
        ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        w.settings["hasShownWelcome"] = true;
    }
    ~Rig() {
        delegate.reset();
        fs::remove_all(root);
    }

    void launch() {
        auto fake = [this] { return std::make_unique<Fake>(w); };
        // The local manifest is a real file, read by the real loader.
        AppDelegate::Sources sources{fake(),  std::make_unique<URLManifestDataLoader>(),
                                     fake(),  &FileManager::standard(),
                                     nullptr, nullptr};
        sources.cancelDownload = [this] { ++w.cancels; };
        sources.setProgressHandler = [this](auto handler) { w.progress = std::move(handler); };
        AppDelegate::Platform platform{fake(), fake(), fake(), fake(), fake(), nullptr, nullptr};
        platform.makeStatusItem = [this, fake](auto handler, Logging&) {
            w.menuHandler = std::move(handler);
            return fake();
        };
        platform.terminate = [this] { ++w.terminations; };
        delegate = std::make_unique<AppDelegate>(HelperLocations::fromProjectRoot(root),
                                                 std::move(sources), std::move(platform));
        delegate->applicationDidFinishLaunching();
        settle();
        launchLines = w.log.size();
    }

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

    fs::path root;
    World w;
    std::size_t launchLines = 0;
    std::unique_ptr<AppDelegate> delegate;
};

const std::string localLine = "Using local manifest: {root}/web/public/api/wallpapers.json";
const std::string assetLine = "Using local asset fallback: {root}/web/public/assets/a.mp4";

// ---- Which manifest answers, and where the video comes from ---------------

TEST(AppDelegateTest, LooksUpTheRightManifestAndLogsIt) {
    const std::string missing = "ERROR: No wallpaper in manifest for id alpha.";
    const std::string remoteFailed =
        "Remote manifest failed, trying local manifest: Could not read wallpaper manifest: "
        "connection refused";
    const std::string localFailed =
        "ERROR: Could not read wallpaper manifest: {root}/web/public/api/wallpapers.json: No "
        "such file or directory";
    const struct {
        const char* name;
        const char* local;   // the id in the local manifest file; none: no file
        const char* remote;  // the id in the remote manifest; none: it fails
        int remoteLoads;
        Lines lines;
    } cases[] = {
        {"local readable", "alpha", "beta", 0, {localLine, assetLine, "Applied alpha"}},
        {"local without the id never asks remote", "beta", "alpha", 0, {localLine, missing}},
        {"remote without a local file", nullptr, "alpha", 1, {assetLine, "Applied alpha"}},
        {"remote without the id is not retried locally", nullptr, "beta", 1, {missing}},
        {"remote failing, then local", nullptr, nullptr, 1, {remoteFailed, localFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig h;
        h.write("assets/a.mp4");
        if (c.local) {
            h.write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {c.local}));
        }
        if (c.remote) {
            h.w.manifest = manifest(site + "/assets/a.mp4", {c.remote});
        }
        h.launch();
        h.send("lumivo://apply/alpha");
        EXPECT_EQ(h.lines(), c.lines);
        EXPECT_EQ(h.w.manifestLoads, c.remoteLoads);
    }
}

TEST(AppDelegateTest, PlaysACheckoutFileOnlyUnderTheAssetPrefixesInsideWebPublic) {
    const struct {
        const char* name;
        std::string videoUrl;
        std::string file;  // written under web/public
        bool local;
        int downloads;
        const char* link = nullptr;  // a symbolic link to `file` under web/public
    } cases[] = {
        {"assets", site + "/assets/w/a.mp4", "assets/w/a.mp4", true, 0},
        {"velmor-assets", site + "/velmor-assets/a.mp4", "velmor-assets/a.mp4", true, 0},
        // The download policy would refuse this host; a checkout file needs no policy.
        {"other host", "http://elsewhere.example/assets/a.mp4?x=1", "assets/a.mp4", true, 0},
        {"upper-case extension", site + "/assets/A.MP4", "assets/A.MP4", true, 0},
        {"percent-encoded name", site + "/assets/my%20clip.mp4", "assets/my clip.mp4", true, 0},
        {"link out of the checkout", site + "/assets/ln.mp4", "../../x/real.mp4", true, 0,
         "assets/ln.mp4"},
        {"prefix is case-sensitive", site + "/Assets/a.mp4", "Assets/a.mp4", false, 1},
        {"not an mp4 (nor downloadable)", site + "/assets/b.mov", "assets/b.mov", false, 0},
        {"dot-dot", site + "/assets/../../../secret.mp4", "../../secret.mp4", false, 1},
        {"encoded dot-dot", site + "/assets/%2e%2e/%2e%2e/%2e%2e/secret.mp4", "../../secret.mp4",
         false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig h;
        h.write(c.file);
        const fs::path file = (h.root / "web/public" / c.file).lexically_normal();
        if (c.link) {
            fs::create_directories((h.root / "web/public" / c.link).parent_path());
            fs::create_symlink(file, h.root / "web/public" / c.link);
        }
        h.w.manifest = manifest(c.videoUrl, {"alpha"});
        h.launch();
        h.send("lumivo://apply/alpha");
        EXPECT_EQ(h.w.started == std::vector{file}, c.local);
        EXPECT_EQ(h.w.downloads, c.downloads);
    }
}

TEST(AppDelegateTest, AfterAFailedDownloadLooksForTheCheckoutFileOnceMore) {
    const std::string failed = "Wallpaper download failed: network down";
    const std::string retried = "Download failed, using local asset fallback: " + failed;
    const struct {
        bool fileTurnsUp;
        const char* played;  // under the root
        Lines lines;
    } cases[] = {
        {true, "web/public/assets/a.mp4", {retried, "Applied alpha"}},
        {false, nullptr, {"ERROR: " + failed}},  // the cache's error, unchanged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileTurnsUp);
        Rig h;
        h.w.manifest = manifest(site + "/assets/a.mp4", {"alpha"});
        h.w.downloadEnds = [&] {
            if (c.fileTurnsUp) {
                h.write("assets/a.mp4");
            }
            throw HelperError::downloadFailed("network down");
        };
        h.launch();
        h.send("lumivo://apply/alpha");
        EXPECT_EQ(h.lines(), c.lines);
        EXPECT_EQ(h.w.started, c.played ? std::vector{h.root / c.played} : std::vector<fs::path>{});
        EXPECT_EQ(h.w.alerts.size(), c.fileTurnsUp ? 0u : 1u);
        EXPECT_EQ(h.w.toolTips.back(), "Lumivo Helper");
    }
}

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

TEST(AppDelegateTest, ErrorAlertActsOnTheAnswerAndCommandsWaitBehindIt) {
    const struct {
        std::optional<std::string> url;
        int answer;
        std::string error;
        Lines opened;
        bool quits;
    } cases[] = {
        {"lumivo://bogus", 0, "Unknown action: bogus.", {devGallery}, false},
        {std::nullopt, 1, "Invalid lumivo URL.", {}, true},
        {"lumivo://apply/a b", 2, "Invalid lumivo URL.", {}, false},
        {"lumivo://apply/", -1, "Invalid wallpaper id.", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Rig h;
        h.launch();
        h.w.answer = c.answer;
        h.w.duringAlert = [&] { h.delegate->handleURLEvent("lumivo://ping"); };
        h.send(c.url);
        ASSERT_EQ(h.w.alerts.size(), 1u);
        EXPECT_EQ(h.w.alerts[0].messageText, "Lumivo Helper");
        EXPECT_EQ(h.w.alerts[0].informativeText, c.error);
        EXPECT_EQ(h.w.alerts[0].buttons, (Lines{"Open Gallery", "Quit", "Cancel"}));
        // A ping arrived while the alert was up; Quit drops it.
        EXPECT_EQ(h.lines(),
                  (c.quits ? Lines{"ERROR: " + c.error} : Lines{"ERROR: " + c.error, "ping"}));
        EXPECT_EQ(h.w.opened, c.opened);
        EXPECT_EQ(h.w.stops, c.quits ? 1 : 0);
        EXPECT_EQ(h.w.terminations, c.quits ? 1 : 0);
    }
}

// ---- Launch and welcome --------------------------------------------------

TEST(AppDelegateTest, WelcomeShowsOnceThenTheStartLineFollows) {
    const std::string startLine =
        "[LumivoHelper] Helper started. Manifest: " + site + "/api/wallpapers.json";
    const struct {
        const char* name;
        bool shownBefore;
        int answer;
        Lines opened, log;
    } cases[] = {
        {"first run, Open Gallery", false, 0, {devGallery}, {startLine, "[LumivoHelper] ping"}},
        {"first run, OK", false, 1, {}, {startLine, "[LumivoHelper] ping"}},
        {"second run", true, 0, {}, {startLine}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig h;
        h.w.settings = {{"hasShownWelcome", c.shownBefore}};
        h.w.answer = c.answer;
        h.w.duringAlert = [&] {
            EXPECT_TRUE(h.w.settings["hasShownWelcome"]);  // written before the alert
            EXPECT_TRUE(h.w.log.empty());
            EXPECT_EQ(h.w.alerts.back().buttons, (Lines{"Open Gallery", "OK"}));
            h.delegate->handleURLEvent("lumivo://ping");
        };
        h.launch();
        EXPECT_EQ(h.w.alerts.size(), c.shownBefore ? 0u : 1u);
        EXPECT_EQ(h.w.opened, c.opened);
        EXPECT_EQ(h.w.log, c.log);  // the ping arrived during the welcome
    }
}

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
    h.delegate->handleURLEvent("lumivo://stop");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.downloads == 1; }));
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    QTest::qWait(100);
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(h.status(), "Downloading...");
    EXPECT_TRUE(h.lines().empty());
    EXPECT_TRUE(h.w.opened.empty());

    h.w.holdDownload = false;
    h.settle();
    EXPECT_EQ(h.lines(), (Lines{"Applied beta", "ping", "Stopped wallpaper"}));
    EXPECT_EQ(h.w.started, std::vector{h.root / "cache/Lumivo/wallpapers/beta-96b050b919f3.mp4"});
    // Download progress, then the plain name again.
    EXPECT_EQ(h.w.toolTips,
              (Lines{"Downloading beta: 45%", "Downloading beta: 100%", "Lumivo Helper"}));
    EXPECT_EQ(h.w.opened, (Lines{devGallery, "http://127.0.0.1:4173/mac-helper/"}));
    EXPECT_EQ(h.w.stops, 1);

    h.w.holdDownload = true;
    h.delegate->handleURLEvent("lumivo://apply/gamma");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.w.downloads == 2; }));
    h.w.menuHandler(MenuAction::quit);
    EXPECT_EQ(h.w.cancels, 1);
    EXPECT_EQ(h.w.stops, 2);
    EXPECT_EQ(h.w.terminations, 1);
    h.delegate->handleURLEvent("lumivo://ping");
    ASSERT_TRUE(h.delegate->waitForBackgroundWork(std::chrono::seconds(5)));
    QTest::qWait(100);
    EXPECT_EQ(h.lines().size(), 3u);
    EXPECT_TRUE(h.w.alerts.empty());
    EXPECT_EQ(h.w.started.size(), 1u);
}

}  // namespace
}  // namespace lumivo::test
