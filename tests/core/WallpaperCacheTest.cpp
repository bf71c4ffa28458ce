#include <gtest/gtest.h>
#include <stdlib.h>

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

const std::string content = "not really an mp4, but bytes all the same";
const std::string digest = test::sha256Of(content);
const std::string videoURL = "https://lumivo.app/v/aurora.mp4";

// The design's own seam: answers every download with `respond` and logs it.
struct ScriptedDownloader : FileDownloading {
    struct Call {
        std::string url;
        fs::path to;
        std::int64_t maxBytes;
    };
    std::vector<Call>& calls;
    std::function<void(const fs::path&)>& respond;

    ScriptedDownloader(std::vector<Call>& c, std::function<void(const fs::path&)>& r)
        : calls(c), respond(r) {}
    void download(const Url& from, const fs::path& to, std::int64_t maxBytes) override {
        calls.push_back({from.absoluteString(), to, maxBytes});
        respond(to);
    }
};

class WallpaperCacheTest : public ::testing::Test {
  protected:
    WallpaperCache makeCache(FileManager& fileManager = FileManager::standard()) {
        return WallpaperCache(root, std::make_unique<ScriptedDownloader>(calls, respond),
                              fileManager);
    }

    test::TemporaryDirectory directory;
    fs::path root = directory / "cache/Lumivo/wallpapers";
    std::vector<ScriptedDownloader::Call> calls;
    std::function<void(const fs::path&)> respond = [](const fs::path& to) {
        writeFile(to, content);
    };
    DownloadPolicy policy{{"lumivo.app"}, 4096};
};

TEST_F(WallpaperCacheTest, DownloadsIntoAHiddenTemporaryServesHitsAndReplacesChangedFiles) {
    WallpaperCache cache = makeCache();
    const auto record = videoRecord(videoURL, digest);

    const fs::path file = cache.localFile(record, policy);
    EXPECT_EQ(file, root / ("aurora-" + digest.substr(0, 12) + ".mp4"));
    EXPECT_EQ(readFile(file), content);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].url, videoURL);
    // The transfer cap is the global ceiling, not the policy's declared limit.
    EXPECT_EQ(calls[0].maxBytes, DownloadPolicy::defaultMaxBytes);
    EXPECT_EQ(calls[0].to.parent_path(), root);
    EXPECT_TRUE(std::regex_match(
        calls[0].to.filename().string(),
        std::regex(R"(\.aurora-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\.download)")));

    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(treeOf(root), std::vector<std::string>{file.filename().string()});

    // A changed cached file is downloaded anew under the same name.
    writeFile(file, "tampered");
    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(readFile(file), content);
}

TEST_F(WallpaperCacheTest, UpperCaseDigestMatchesAndNamesTheFileAsWritten) {
    WallpaperCache cache = makeCache();
    std::string upper = digest;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const auto record = videoRecord(videoURL, upper);

    EXPECT_EQ(cache.localFile(record, policy).filename(), "aurora-" + upper.substr(0, 12) + ".mp4");
    cache.localFile(record, policy);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(WallpaperCacheTest, FailedVerificationLeavesNoFileBehind) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> respond;
        HelperError expected;
    };
    const std::vector<Case> table = {
        {"content does not match the digest", [](const fs::path& to) { writeFile(to, "other"); },
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
        {"downloader claims success without a file", [](const fs::path&) {},
         HelperError::unreadableFile()},
    };
    for (const Case& c : table) {
        fs::create_directories(root);
        const auto record = videoRecord(videoURL, digest);
        WallpaperCache cache = makeCache();
        writeFile(cache.cacheURL(record), "stale copy");
        respond = c.respond;

        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), c.expected) << c.name;
        EXPECT_EQ(treeOf(root), std::vector<std::string>{}) << c.name;
    }
}

TEST_F(WallpaperCacheTest, RefusesIdsThatWouldLeaveTheDirectoryBeforeTouchingAnything) {
    using namespace std::string_literals;
    WallpaperCache cache = makeCache();
    for (const std::string& id : {""s, "."s, ".."s, "../../escape"s, "a/b"s, "dir/"s, "a\0b"s}) {
        const auto record = videoRecord(videoURL, digest, id);
        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), HelperError::badID()) << id;
        EXPECT_EQ(thrownBy([&] { cache.cacheURL(record); }), HelperError::badID()) << id;
    }
    EXPECT_FALSE(fs::exists(directory / "cache"));
    EXPECT_TRUE(calls.empty());
    // Dots inside an id are harmless and stay allowed.
    EXPECT_NO_THROW(cache.localFile(videoRecord(videoURL, digest, "..aurora.."), policy));
}

TEST_F(WallpaperCacheTest, PolicyRefusalLeavesTheFileSystemUntouched) {
    WallpaperCache cache = makeCache();
    const auto record = videoRecord("http://lumivo.app/v/aurora.mp4", digest);
    EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }),
              HelperError::unsupportedDownloadScheme());
    EXPECT_FALSE(fs::exists(directory / "cache"));
    EXPECT_TRUE(calls.empty());
}

TEST_F(WallpaperCacheTest, SweepsOnlyTemporaryDownloadsOlderThanAnHour) {
    fs::create_directories(root);
    const std::string uuid = "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
    const auto now = fs::file_time_type::clock::now();
    const std::vector<std::tuple<std::string, std::chrono::minutes, bool>> files = {
        {".gone-" + uuid + ".download", std::chrono::minutes(61), true},
        {".gone-two-" + uuid + ".download.1a2b3c4d.part", std::chrono::minutes(120), true},
        {".young-" + uuid + ".download", std::chrono::minutes(50), false},
        {"notes.txt", std::chrono::minutes(120), false},
        {"old-0123456789ab.mp4", std::chrono::minutes(120), false},
        {".gone-not-a-uuid.download", std::chrono::minutes(120), false},
        {".gone-0f8e2c1a-3b4d-4e5f-8a9b-0c1d2e3f4a5b.download", std::chrono::minutes(120), false},
        {"gone-" + uuid + ".download", std::chrono::minutes(120), false},
    };
    std::vector<std::string> expected = {".dir-" + uuid + ".download"};
    fs::create_directory(root / expected[0]);
    fs::last_write_time(root / expected[0], now - std::chrono::hours(2));
    for (const auto& [name, age, swept] : files) {
        writeFile(root / name, "x");
        fs::last_write_time(root / name, now - age);
        if (!swept) {
            expected.push_back(name);
        }
    }

    const fs::path file = makeCache().localFile(videoRecord(videoURL, digest), policy);
    expected.push_back(file.filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(treeOf(root), expected);
}

TEST_F(WallpaperCacheTest, DiskFailuresBecomeCacheFailedAndLeaveNoFiles) {
    // A real file manager whose rename fails, as on a full or broken disk.
    struct FailingMove : FileManager {
        void moveItem(const fs::path&, const fs::path&) const override {
            throw std::system_error(std::make_error_code(std::errc::no_space_on_device), "move");
        }
    } fileManager;
    WallpaperCache cache = makeCache(fileManager);
    EXPECT_EQ(thrownBy([&] { cache.localFile(videoRecord(videoURL, digest), policy); }),
              HelperError::cacheFailed("move: No space left on device."));
    EXPECT_EQ(treeOf(root), std::vector<std::string>{});

    writeFile(directory / "blocker", "a file where a directory must go");
    WallpaperCache blocked(directory / "blocker/wallpapers",
                           std::make_unique<ScriptedDownloader>(calls, respond),
                           FileManager::standard());
    const auto error = thrownBy([&] { blocked.localFile(videoRecord(videoURL, digest), policy); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), HelperError::Case::cacheFailed);
}

TEST_F(WallpaperCacheTest, ValidityRestsOnAFullReadOfTheFile) {
    WallpaperCache cache = makeCache();
    fs::create_directories(root);
    const std::string oneMiB(1048576, 'z');
    writeFile(root / "empty", "");
    writeFile(root / "two-chunks", oneMiB + "tail");

    EXPECT_TRUE(cache.isValidCachedFile(
        root / "empty", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"));
    EXPECT_TRUE(cache.isValidCachedFile(root / "two-chunks", test::sha256Of(oneMiB + "tail")));
    EXPECT_FALSE(cache.isValidCachedFile(root / "two-chunks", test::sha256Of(oneMiB)));
    EXPECT_FALSE(cache.isValidCachedFile(root / "missing", test::sha256Of("")));
    EXPECT_FALSE(cache.isValidCachedFile(root, test::sha256Of("")));
    // Opens fine, then the first read fails with EIO.
    EXPECT_FALSE(cache.isValidCachedFile("/proc/self/mem", test::sha256Of("")));
}

TEST(WallpaperCacheRoot, FollowsTheXDGCacheDirectoryThenHome) {
    const std::vector<std::tuple<const char*, const char*, std::optional<fs::path>>> table = {
        {"/xdg", "/home/u", fs::path("/xdg/Lumivo/wallpapers")},
        {"relative", "/home/u", fs::path("/home/u/.cache/Lumivo/wallpapers")},
        {nullptr, "/home/u", fs::path("/home/u/.cache/Lumivo/wallpapers")},
        {nullptr, nullptr, std::nullopt},
        {"relative", "also-relative", std::nullopt},
    };
    const std::string savedHome = ::getenv("HOME") ? ::getenv("HOME") : "/root";
    for (const auto& [xdg, home, expected] : table) {
        xdg ? ::setenv("XDG_CACHE_HOME", xdg, 1) : ::unsetenv("XDG_CACHE_HOME");
        home ? ::setenv("HOME", home, 1) : ::unsetenv("HOME");
        const auto error = thrownBy([] { WallpaperCache::defaultRoot(FileManager::standard()); });
        if (expected) {
            EXPECT_EQ(WallpaperCache::defaultRoot(FileManager::standard()), *expected);
        } else {
            EXPECT_EQ(error,
                      HelperError::cacheFailed("Application Support directory is unavailable."));
        }
    }
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace lumivo
