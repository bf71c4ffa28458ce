#include <gtest/gtest.h>
#include <sys/stat.h>

#include "CoreFixtures.hpp"
#include "URLManifestDataLoader.hpp"
#include "WallpaperResolver.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string site = "https://gallery.test";
const std::string video = "video bytes";
const std::string digest = test::sha256Of(video);
const std::string cancelled = std::string("! ").append(ResolutionCancelled().what());

// "literal" + std::string&& is written with append: GCC 12 warns wrongly
// (-Wrestrict) about it once inlined in an optimised build.
std::string joined(std::string_view head, std::string_view tail) {
    return std::string(head).append(tail);
}

// A manifest of records titled by their ids, sharing one video URL.
std::string manifest(const std::string& videoUrl, const Lines& ids) {
    std::string json;
    for (const auto& id : ids) {
        json += json.empty() ? "[" : ",";
        json += test::recordObject(id, {{"title", "\"" + id + "\""},
                                        {"videoUrl", "\"" + videoUrl + "\""},
                                        {"sha256", joined("\"", digest) + "\""},
                                        {"bytes", std::to_string(video.size())}});
    }
    return json + "]";
}

// Records what the resolver reports.
struct Reports : ResolutionReporting {
    void log(const std::string& message) override { lines.push_back(message); }
    void downloadProgress(const std::string& title, int percent) override {
        progress.push_back(title + " " + std::to_string(percent));
    }
    Lines lines, progress;
};

// The real file system, with a hook at the start of each digest.
struct DigestHook : FileManager {
    bool readChunks(const fs::path& path, std::size_t chunkSize,
                    const std::function<void(std::span<const std::byte>)>& consume) const override {
        digestStarts();
        return FileManager::readChunks(path, chunkSize, consume);
    }
    std::function<void()> digestStarts = [] {};
};

// A fresh checkout (root/web/public) and cache (root/cache); the remote
// manifest and the downloads are fakes, everything else is real.
class WallpaperResolverTest : public testing::Test {
  public:
    WallpaperResolverTest() {
        ::setenv("XDG_CACHE_HOME", (directory / "cache").c_str(), 1);
        fs::create_directories(directory / "web/public/api");
    }

    void write(const std::string& path, const std::string& content = video) {
        const fs::path file = (directory.path() / "web/public" / path).lexically_normal();
        fs::create_directories(file.parent_path());
        test::writeFile(file, content);
    }

    // The played file with the root written "{root}", or "! " and the error.
    std::string resolve(const std::string& id) {
        struct Remote : ManifestDataLoading {
            explicit Remote(WallpaperResolverTest& t) : t(t) {}
            std::string loadData(const Url&, std::stop_token) override {
                ++t.remoteLoads;
                t.remoteLoaded();
                return t.remote ? *t.remote : throw std::runtime_error("connection refused");
            }
            WallpaperResolverTest& t;
        };
        struct Downloader : FileDownloading {
            explicit Downloader(WallpaperResolverTest& t) : t(t) {}
            void download(const Url&, const fs::path& to, std::int64_t, std::stop_token) override {
                ++t.downloads;
                t.resolver->downloadProgressed(5, -1);
                t.resolver->downloadProgressed(5, 11);
                t.resolver->downloadProgressed(11, 11);
                t.downloadEnds();
                test::writeFile(to, video);
            }
            WallpaperResolverTest& t;
        };
        const fs::path publicRoot = directory / "web/public";
        resolver = std::make_unique<WallpaperResolver>(WallpaperResolver::Setup{
            .manifestEndpoint = *Url::parse(site + "/api/wallpapers.json"),
            .remoteLoader = std::make_unique<Remote>(*this),
            .localManifestURL =
                checkout ? std::optional(Url::fileURL(publicRoot / "api/wallpapers.json"))
                         : std::nullopt,
            .localLoader = std::make_unique<URLManifestDataLoader>(),
            .webPublicRoot = checkout ? std::optional(publicRoot) : std::nullopt,
            .policy = DownloadPolicy({"gallery.test"}, DownloadPolicy::defaultMaxBytes),
            .downloader = std::make_unique<Downloader>(*this),
            .fileManager = &files,
        });
        try {
            resolved = resolver->resolve(id, reports, stop.get_token());
            const std::string played = resolved->video.string();
            return joined("{root}", played.substr(directory.path().string().size()));
        } catch (const std::exception& error) {
            return joined("! ", localizedDescription(error));
        }
    }

    test::TemporaryDirectory directory;
    bool checkout = true;               // false: the resolver is told of no checkout
    std::optional<std::string> remote;  // none: loading it fails
    std::function<void()> remoteLoaded = [] {};
    std::function<void()> downloadEnds = [] {};
    int remoteLoads = 0, downloads = 0;
    DigestHook files;
    std::stop_source stop;
    Reports reports;
    std::unique_ptr<WallpaperResolver> resolver;
    std::optional<ResolvedWallpaper> resolved;
};

const std::string localLine = "Using local manifest: {root}/web/public/api/wallpapers.json";
const std::string assetFile = "{root}/web/public/assets/a.mp4";
const std::string assetLine = "Using local asset fallback: " + assetFile;
const std::string missing = "! No wallpaper in manifest for id alpha.";

// Log lines with the root written "{root}".
Lines linesOf(const Reports& reports, const fs::path& root) {
    Lines lines = reports.lines;
    for (auto& line : lines) {
        if (const auto at = line.find(root.string()); at != std::string::npos) {
            line.replace(at, root.string().size(), "{root}");
        }
    }
    return lines;
}

// ---- Which manifest answers ----------------------------------------------

TEST_F(WallpaperResolverTest, AReadableLocalManifestAnswersAndTheRemoteIsNotAsked) {
    write("assets/a.mp4");
    write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {"alpha"}));
    remote = manifest(site + "/assets/a.mp4", {"beta"});
    EXPECT_EQ(resolve("alpha"), assetFile);
    EXPECT_EQ(linesOf(reports, directory.path()), (Lines{localLine, assetLine}));
    EXPECT_EQ(remoteLoads, 0);
}

TEST_F(WallpaperResolverTest, AnIdMissingFromTheLocalManifestIsNotLookedUpRemotely) {
    write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {"beta"}));
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    EXPECT_EQ(resolve("alpha"), missing);
    EXPECT_EQ(linesOf(reports, directory.path()), Lines{localLine});
    EXPECT_EQ(remoteLoads, 0);
}

TEST_F(WallpaperResolverTest, WithoutALocalManifestTheRemoteAnswers) {
    write("assets/a.mp4");
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    EXPECT_EQ(resolve("alpha"), assetFile);
    EXPECT_EQ(linesOf(reports, directory.path()), Lines{assetLine});
    EXPECT_EQ(remoteLoads, 1);
}

TEST_F(WallpaperResolverTest, AnIdMissingFromTheRemoteManifestIsNotLookedUpLocally) {
    remote = manifest(site + "/assets/a.mp4", {"beta"});
    EXPECT_EQ(resolve("alpha"), missing);
    EXPECT_TRUE(reports.lines.empty());
}

TEST_F(WallpaperResolverTest, AFailedRemoteManifestIsLoggedAndTheLocalStoresErrorShown) {
    EXPECT_EQ(resolve("alpha"),
              "! Could not read wallpaper manifest: " + directory.path().string() +
                  "/web/public/api/wallpapers.json: No such file or directory");
    EXPECT_EQ(reports.lines, Lines{"Remote manifest failed, trying local manifest: Could not "
                                   "read wallpaper manifest: connection refused"});
}

TEST_F(WallpaperResolverTest, ALocalManifestThatIsAFifoCountsAsUnreadable) {
    ASSERT_EQ(::mkfifo((directory / "web/public/api/wallpapers.json").c_str(), 0600), 0);
    write("assets/a.mp4");
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    EXPECT_EQ(resolve("alpha"), assetFile);
    EXPECT_EQ(linesOf(reports, directory.path()), Lines{assetLine});
}

// ---- Where the video comes from ------------------------------------------

struct CheckoutCase {
    const char* name;
    std::string videoUrl;
    std::string file;            // written under web/public
    const char* link = nullptr;  // a symbolic link to `file` under web/public
    bool local = true;           // played from the checkout
};

class CheckoutFiles : public WallpaperResolverTest,
                      public testing::WithParamInterface<CheckoutCase> {};

TEST_P(CheckoutFiles, AreUsedOnlyUnderTheAssetPrefixesInsideWebPublic) {
    const CheckoutCase& c = GetParam();
    write(c.file);
    const fs::path file = (directory.path() / "web/public" / c.file).lexically_normal();
    if (c.link) {
        fs::create_directories((directory.path() / "web/public" / c.link).parent_path());
        fs::create_symlink(file, directory.path() / "web/public" / c.link);
    }
    remote = manifest(c.videoUrl, {"alpha"});
    const std::string played = resolve("alpha");
    EXPECT_EQ(played == joined("{root}", file.string().substr(directory.path().string().size())),
              c.local)
        << played;
    EXPECT_EQ(reports.lines.size(), c.local ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    WallpaperResolverTest, CheckoutFiles,
    testing::Values(
        CheckoutCase{"assets", site + "/assets/w/a.mp4", "assets/w/a.mp4"},
        CheckoutCase{"velmorAssets", site + "/velmor-assets/a.mp4", "velmor-assets/a.mp4"},
        // The policy would refuse this host; a checkout file needs no policy.
        CheckoutCase{"anyHost", "http://elsewhere.example/assets/a.mp4?x=1", "assets/a.mp4"},
        CheckoutCase{"upperCaseExtension", site + "/assets/A.MP4", "assets/A.MP4"},
        CheckoutCase{"percentEncodedName", site + "/assets/my%20clip.mp4", "assets/my clip.mp4"},
        CheckoutCase{"linkOutOfTheCheckout", site + "/assets/ln.mp4", "../../x/real.mp4",
                     "assets/ln.mp4"},
        CheckoutCase{"prefixIsCaseSensitive", site + "/Assets/a.mp4", "Assets/a.mp4", nullptr,
                     false},
        CheckoutCase{"notAnMP4", site + "/assets/b.mov", "assets/b.mov", nullptr, false},
        CheckoutCase{"dotDot", site + "/assets/../../../secret.mp4", "../../secret.mp4", nullptr,
                     false},
        CheckoutCase{"encodedDotDot", site + "/assets/%2e%2e/%2e%2e/%2e%2e/secret.mp4",
                     "../../secret.mp4", nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WallpaperResolverTest, WithoutACheckoutFileTheCacheDownloadsAndReportsProgress) {
    remote = manifest(site + "/videos/a.mp4", {"alpha"});
    EXPECT_EQ(resolve("alpha"),
              joined("{root}/cache/Lumivo/wallpapers/alpha-", digest.substr(0, 12)) + ".mp4");
    EXPECT_TRUE(reports.lines.empty());
    // Without an announced length the record's size counts; repeats are dropped.
    EXPECT_EQ(reports.progress, (Lines{"alpha 45", "alpha 100"}));
    // What it takes to trust the file again: the digest and size it matched.
    EXPECT_TRUE(resolved->fromCache);
    EXPECT_EQ(resolved->sha256, digest);
    EXPECT_EQ(resolved->bytes, static_cast<std::int64_t>(video.size()));
    EXPECT_TRUE(resolver->isCachedCopy(resolved->video, digest));
}

TEST_F(WallpaperResolverTest, AfterTheCacheFailsTheCheckoutIsLookedAtOnceMore) {
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    downloadEnds = [&] {
        write("assets/a.mp4");
        throw HelperError::downloadFailed("network down");
    };
    EXPECT_EQ(resolve("alpha"), assetFile);
    EXPECT_EQ(reports.lines, Lines{"Download failed, using local asset fallback: Wallpaper "
                                   "download failed: network down"});
    // A checkout file, found again by its video URL, not by a digest.
    EXPECT_FALSE(resolved->fromCache);
    EXPECT_EQ(resolver->checkoutFile(*Url::parse(resolved->videoUrl)), resolved->video);
}

TEST_F(WallpaperResolverTest, WhenNoCheckoutFileTurnsUpTheCachesErrorStandsUnchanged) {
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    downloadEnds = [] { throw HelperError::downloadFailed("network down"); };
    EXPECT_EQ(resolve("alpha"), "! Wallpaper download failed: network down");
    EXPECT_TRUE(reports.lines.empty());
}

// ---- Without a checkout --------------------------------------------------

// The files of a checkout lie where the fixture's would be, and count for nothing.
TEST_F(WallpaperResolverTest, WithoutACheckoutItsManifestAndAssetsAreNeverUsed) {
    checkout = false;
    write("assets/a.mp4");
    write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {"alpha", "beta"}));
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    EXPECT_EQ(resolve("alpha"),
              joined("{root}/cache/Lumivo/wallpapers/alpha-", digest.substr(0, 12)) + ".mp4");
    EXPECT_TRUE(reports.lines.empty());
    EXPECT_EQ(remoteLoads, 1);
    EXPECT_EQ(downloads, 1);
    EXPECT_FALSE(resolver->checkoutFile(*Url::parse(site + "/assets/a.mp4")));
    EXPECT_EQ(resolve("beta"), "! No wallpaper in manifest for id beta.");
}

TEST_F(WallpaperResolverTest, WithoutACheckoutTheRemoteManifestsFailureIsTheErrorShown) {
    checkout = false;
    write("api/wallpapers.json", manifest(site + "/assets/a.mp4", {"alpha"}));
    EXPECT_EQ(resolve("alpha"), "! Could not read wallpaper manifest: connection refused");
    EXPECT_TRUE(reports.lines.empty());
}

TEST_F(WallpaperResolverTest, WithoutACheckoutAFailedDownloadHasNoFallback) {
    checkout = false;
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    downloadEnds = [&] {
        write("assets/a.mp4");
        throw HelperError::downloadFailed("network down");
    };
    EXPECT_EQ(resolve("alpha"), "! Wallpaper download failed: network down");
    EXPECT_TRUE(reports.lines.empty());
}

// ---- Stopping ------------------------------------------------------------

struct StopCase {
    const char* name;
    // Requests the stop at one stage of the resolution.
    std::function<void(WallpaperResolverTest&)> arrange;
    int remoteLoads;
    int downloads;
};

class Stopping : public WallpaperResolverTest, public testing::WithParamInterface<StopCase> {};

// Nothing falls back, nothing fails and nothing stays in the cache, and the
// next resolution, with a token of its own, is not affected.
TEST_P(Stopping, EndsTheResolutionQuietlyAtEveryStage) {
    const StopCase& c = GetParam();
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    c.arrange(*this);
    EXPECT_EQ(resolve("alpha"), cancelled);
    EXPECT_TRUE(reports.lines.empty());
    EXPECT_EQ(remoteLoads, c.remoteLoads);
    EXPECT_EQ(downloads, c.downloads);
    EXPECT_EQ(test::treeOf(directory / "cache/Lumivo/wallpapers"), Lines{});

    stop = std::stop_source();
    remote = manifest(site + "/assets/a.mp4", {"alpha"});
    remoteLoaded = downloadEnds = [] {};
    files.digestStarts = [] {};
    fs::remove_all(directory / "web/public/assets");
    EXPECT_EQ(resolve("alpha"),
              joined("{root}/cache/Lumivo/wallpapers/alpha-", digest.substr(0, 12)) + ".mp4");
}

INSTANTIATE_TEST_SUITE_P(
    WallpaperResolverTest, Stopping,
    testing::Values(
        StopCase{"BeforeItStarts", [](WallpaperResolverTest& t) { t.stop.request_stop(); }, 0, 0},
        // The manifest arrived all the same, or its load failed on the stop;
        // either way the local manifest is not tried.
        StopCase{"WhileTheManifestLoads",
                 [](WallpaperResolverTest& t) { t.remoteLoaded = [&t] { t.stop.request_stop(); }; },
                 1, 0},
        StopCase{"WhenTheManifestLoadFails",
                 [](WallpaperResolverTest& t) {
                     t.remote.reset();
                     t.remoteLoaded = [&t] { t.stop.request_stop(); };
                 },
                 1, 0},
        // A checkout file that turns up meanwhile is no fallback either.
        StopCase{"DuringTheDownload",
                 [](WallpaperResolverTest& t) {
                     t.downloadEnds = [&t] {
                         t.write("assets/a.mp4");
                         t.stop.request_stop();
                         throw HelperError::downloadCancelled();
                     };
                 },
                 1, 1},
        StopCase{"WhileTheDownloadIsChecked",
                 [](WallpaperResolverTest& t) {
                     t.files.digestStarts = [&t] { t.stop.request_stop(); };
                 },
                 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumivo
