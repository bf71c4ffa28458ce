#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>

#include "AcquisitionFixtures.hpp"
#include "WallpaperCache.hpp"

namespace lumivo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::thrownBy;
using test::treeOf;
using test::videoRecord;
using test::writeFile;

const std::string videoContent = "not really an mp4, but bytes all the same";
const std::string videoDigest = test::sha256Of(videoContent);
const std::string videoURL = "https://lumivo.app/v/aurora.mp4";

// The design's own seam: answers every download from `respond` and keeps a
// log of the calls.
struct DownloadScript {
    struct Call {
        std::string url;
        fs::path to;
        std::int64_t maxBytes;
    };
    std::vector<Call> calls;
    std::function<void(const fs::path&)> respond = [](const fs::path& to) {
        writeFile(to, videoContent);
    };
};

class ScriptedDownloader : public FileDownloading {
  public:
    explicit ScriptedDownloader(DownloadScript& script) : script_(script) {}
    void download(const Url& from, const fs::path& to, std::int64_t maxBytes) override {
        script_.calls.push_back({from.absoluteString(), to, maxBytes});
        script_.respond(to);
    }

  private:
    DownloadScript& script_;
};

class WallpaperCacheTest : public ::testing::Test {
  protected:
    WallpaperCache makeCache(FileManager& fileManager = FileManager::standard()) {
        return WallpaperCache(root, std::make_unique<ScriptedDownloader>(script), fileManager);
    }

    test::TemporaryDirectory directory;
    fs::path root = directory / "cache/Lumivo/wallpapers";
    DownloadScript script;
    DownloadPolicy policy{{"lumivo.app"}, 4096};
};

TEST_F(WallpaperCacheTest, DownloadsIntoAHiddenTemporaryThenServesHitsWithoutDownloading) {
    WallpaperCache cache = makeCache();
    const auto record = videoRecord(videoURL, videoDigest);

    const fs::path file = cache.localFile(record, policy);
    EXPECT_EQ(file, root / ("aurora-" + videoDigest.substr(0, 12) + ".mp4"));
    EXPECT_EQ(file, cache.cacheURL(record));
    EXPECT_EQ(readFile(file), videoContent);
    ASSERT_EQ(script.calls.size(), 1u);
    EXPECT_EQ(script.calls[0].url, videoURL);
    // The transfer cap is the global ceiling, not the policy's declared limit.
    EXPECT_EQ(script.calls[0].maxBytes, DownloadPolicy::defaultMaxBytes);
    EXPECT_EQ(script.calls[0].to.parent_path(), root);
    EXPECT_TRUE(std::regex_match(
        script.calls[0].to.filename().string(),
        std::regex(
            R"(\.aurora-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\.download)")));

    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(script.calls.size(), 1u);
    EXPECT_EQ(treeOf(root), std::vector<std::string>{file.filename().string()});
}

TEST_F(WallpaperCacheTest, ReplacesACachedFileWhoseContentChanged) {
    WallpaperCache cache = makeCache();
    const auto record = videoRecord(videoURL, videoDigest);
    const fs::path file = cache.localFile(record, policy);
    writeFile(file, "tampered");

    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(script.calls.size(), 2u);
    EXPECT_EQ(readFile(file), videoContent);
    EXPECT_NE(script.calls[0].to, script.calls[1].to) << "every download needs a fresh name";
}

TEST_F(WallpaperCacheTest, UpperCaseDigestMatchesAndNamesTheFileAsWritten) {
    WallpaperCache cache = makeCache();
    std::string upper = videoDigest;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const auto record = videoRecord(videoURL, upper);

    const fs::path file = cache.localFile(record, policy);
    EXPECT_EQ(file.filename(), "aurora-" + upper.substr(0, 12) + ".mp4");
    EXPECT_TRUE(cache.isValidCachedFile(file, upper));
    cache.localFile(record, policy);
    EXPECT_EQ(script.calls.size(), 1u);
}

TEST_F(WallpaperCacheTest, FailedVerificationLeavesNoFileBehind) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> respond;
        HelperError expected;
    };
    const std::vector<Case> table = {
        {"content does not match the digest",
         [](const fs::path& to) { writeFile(to, "something else"); },
         HelperError::checksumMismatch()},
        {"file larger than the global ceiling",
         [](const fs::path& to) {
             writeFile(to, "");
             fs::resize_file(to, DownloadPolicy::defaultMaxBytes + 1);  // sparse
         },
         HelperError::badDownloadSize()},
        {"downloader fails", [](const fs::path&) { throw HelperError::downloadFailed("boom"); },
         HelperError::downloadFailed("boom")},
        {"downloader fails but leaves its file",
         [](const fs::path& to) {
             writeFile(to, "partial");
             throw HelperError::badDownloadSize();
         },
         HelperError::badDownloadSize()},
        {"downloader reports success without a file", [](const fs::path&) {},
         HelperError::unreadableFile()},
    };
    for (const Case& c : table) {
        fs::create_directories(root);
        const auto record = videoRecord(videoURL, videoDigest);
        WallpaperCache cache = makeCache();
        writeFile(cache.cacheURL(record), "stale copy");
        script.respond = c.respond;

        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), c.expected) << c.name;
        EXPECT_EQ(treeOf(root), std::vector<std::string>{}) << c.name;
    }
}

TEST_F(WallpaperCacheTest, RefusesIdsThatWouldLeaveTheDirectoryBeforeTouchingAnything) {
    const std::vector<std::string> ids = {
        "", ".", "..", "../../escape", "a/b", "/abs", std::string("a\0b", 3), "..\0", "dir/"};
    WallpaperCache cache = makeCache();
    const auto before = treeOf(directory.path());
    for (const std::string& id : ids) {
        const auto record = videoRecord(videoURL, videoDigest, id);
        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), HelperError::badID())
            << "id of " << id.size() << " bytes: " << id;
        EXPECT_EQ(thrownBy([&] { cache.cacheURL(record); }), HelperError::badID());
    }
    EXPECT_EQ(treeOf(directory.path()), before);
    EXPECT_TRUE(script.calls.empty());

    // Dots inside an id are harmless and stay allowed.
    EXPECT_NO_THROW(cache.localFile(videoRecord(videoURL, videoDigest, "..aurora.."), policy));
}

TEST_F(WallpaperCacheTest, PolicyRefusalLeavesTheFileSystemUntouched) {
    WallpaperCache cache = makeCache();
    const auto record = videoRecord("http://lumivo.app/v/aurora.mp4", videoDigest);
    EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }),
              HelperError::unsupportedDownloadScheme());
    EXPECT_FALSE(fs::exists(directory / "cache"));
    EXPECT_TRUE(script.calls.empty());
}

TEST_F(WallpaperCacheTest, SweepsOnlyTemporaryDownloadsOlderThanAnHour) {
    fs::create_directories(root);
    const std::string uuid = "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
    const std::vector<std::string> swept = {
        ".gone-" + uuid + ".download",
        ".gone-two-" + uuid + ".download.1a2b3c4d.part",
    };
    const std::vector<std::string> kept = {
        "notes.txt",
        "old-0123456789ab.mp4",
        ".gone-not-a-uuid.download",
        ".gone-" + std::string("0f8e2c1a-3b4d-4e5f-8a9b-0c1d2e3f4a5b") + ".download",
        "gone-" + uuid + ".download",
    };
    const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const auto& names : {swept, kept}) {
        for (const std::string& name : names) {
            writeFile(root / name, "x");
            fs::last_write_time(root / name, twoHoursAgo);
        }
    }
    const std::string young = ".young-" + uuid + ".download";
    writeFile(root / young, "in progress elsewhere");
    fs::last_write_time(root / young, fs::file_time_type::clock::now() - std::chrono::minutes(50));
    const std::string oldDirectory = ".dir-" + uuid + ".download";
    fs::create_directory(root / oldDirectory);
    fs::last_write_time(root / oldDirectory, twoHoursAgo);

    WallpaperCache cache = makeCache();
    const fs::path file = cache.localFile(videoRecord(videoURL, videoDigest), policy);

    std::vector<std::string> expected = kept;
    expected.push_back(young);
    expected.push_back(oldDirectory);
    expected.push_back(file.filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(treeOf(root), expected);
}

// A real file manager whose rename or read fails, to reach the cache's
// handling of errors that a healthy disk never produces on demand.
class FaultyFileManager : public FileManager {
  public:
    bool failMove = false;
    bool failRead = false;

    void moveItem(const fs::path& from, const fs::path& to) const override {
        if (failMove) {
            throw std::system_error(std::make_error_code(std::errc::no_space_on_device),
                                    "Could not move " + from.string() + " to " + to.string());
        }
        FileManager::moveItem(from, to);
    }
    bool readChunks(const fs::path& path, std::size_t chunkSize,
                    const std::function<void(std::span<const std::byte>)>& consume) const override {
        if (failRead) {
            throw std::system_error(std::make_error_code(std::errc::io_error),
                                    "Could not read " + path.string());
        }
        return FileManager::readChunks(path, chunkSize, consume);
    }
};

TEST_F(WallpaperCacheTest, DiskFailuresBecomeCacheFailedAndLeaveNoFiles) {
    FaultyFileManager fileManager;
    WallpaperCache cache = makeCache(fileManager);
    const auto record = videoRecord(videoURL, videoDigest);

    fileManager.failMove = true;
    const auto moveError = thrownBy([&] { cache.localFile(record, policy); });
    ASSERT_TRUE(moveError);
    EXPECT_EQ(moveError->kind(), HelperError::Case::cacheFailed);
    EXPECT_NE(moveError->errorDescription().find("No space left on device"), std::string::npos)
        << moveError->errorDescription();
    EXPECT_EQ(treeOf(root), std::vector<std::string>{});

    fileManager.failMove = false;
    fileManager.failRead = true;
    const auto readError = thrownBy([&] { cache.localFile(record, policy); });
    ASSERT_TRUE(readError);
    EXPECT_EQ(readError->kind(), HelperError::Case::cacheFailed);
    EXPECT_EQ(treeOf(root), std::vector<std::string>{});
}

TEST_F(WallpaperCacheTest, UncreatableRootIsCacheFailed) {
    writeFile(directory / "cache", "a file where a directory must go");
    WallpaperCache cache = makeCache();
    const auto error =
        thrownBy([&] { cache.localFile(videoRecord(videoURL, videoDigest), policy); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::cacheFailed);
    EXPECT_TRUE(script.calls.empty());
}

TEST_F(WallpaperCacheTest, ValidityRestsOnAFullReadOfTheFile) {
    WallpaperCache cache = makeCache();
    fs::create_directories(root);
    writeFile(root / "empty", "");
    const std::string oneMiB(1048576, 'z');
    writeFile(root / "one-mib", oneMiB);
    writeFile(root / "two-chunks", oneMiB + "tail");

    EXPECT_TRUE(cache.isValidCachedFile(
        root / "empty", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"));
    EXPECT_TRUE(cache.isValidCachedFile(root / "one-mib", test::sha256Of(oneMiB)));
    EXPECT_TRUE(cache.isValidCachedFile(root / "two-chunks", test::sha256Of(oneMiB + "tail")));
    EXPECT_FALSE(cache.isValidCachedFile(root / "two-chunks", test::sha256Of(oneMiB)));
    EXPECT_FALSE(cache.isValidCachedFile(root / "missing", test::sha256Of("")));
    EXPECT_FALSE(cache.isValidCachedFile(root, test::sha256Of("")));
    // Opens fine, then every read fails with EIO.
    EXPECT_FALSE(cache.isValidCachedFile("/proc/self/mem", test::sha256Of("")));
}

TEST(WallpaperCacheRoot, FollowsTheXDGCacheDirectoryThenHome) {
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<fs::path> expected;
    };
    const std::vector<Case> table = {
        {"/xdg/cache", "/home/u", fs::path("/xdg/cache/Lumivo/wallpapers")},
        {"relative/cache", "/home/u", fs::path("/home/u/.cache/Lumivo/wallpapers")},
        {nullptr, "/home/u", fs::path("/home/u/.cache/Lumivo/wallpapers")},
        {"", "/home/u", fs::path("/home/u/.cache/Lumivo/wallpapers")},
        {nullptr, nullptr, std::nullopt},
        {"relative", "also-relative", std::nullopt},
    };
    const std::string savedHome = ::getenv("HOME") ? ::getenv("HOME") : "";
    for (const Case& c : table) {
        c.xdg ? ::setenv("XDG_CACHE_HOME", c.xdg, 1) : ::unsetenv("XDG_CACHE_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        if (c.expected) {
            EXPECT_EQ(WallpaperCache::defaultRoot(FileManager::standard()), *c.expected);
        } else {
            const auto unavailable =
                HelperError::cacheFailed("Application Support directory is unavailable.");
            EXPECT_EQ(thrownBy([] { WallpaperCache::defaultRoot(FileManager::standard()); }),
                      unavailable);
            EXPECT_EQ(thrownBy([] {
                          DownloadScript script;
                          WallpaperCache(std::make_unique<ScriptedDownloader>(script),
                                         FileManager::standard());
                      }),
                      unavailable);
        }
    }
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace lumivo
