#include <gtest/gtest.h>

#include <regex>

#include "CoreFixtures.hpp"
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

class WallpaperCacheTest : public ::testing::Test {
  protected:
    // Stands in for the network at the downloader seam.
    struct Downloader : FileDownloading {
        explicit Downloader(WallpaperCacheTest& test) : test(test) {}
        void download(const Url& from, const fs::path& to, std::int64_t maxBytes,
                      std::stop_token) override {
            EXPECT_EQ(from.absoluteString(), videoURL);
            // The transfer cap is the global ceiling, not the policy's declared limit.
            EXPECT_EQ(maxBytes, DownloadPolicy::defaultMaxBytes);
            test.downloads.push_back(to);
            test.respond(to);
        }
        WallpaperCacheTest& test;
    };

    WallpaperCache makeCache(FileManager& fileManager = FileManager::standard()) {
        return WallpaperCache(root, std::make_unique<Downloader>(*this), fileManager);
    }

    test::TemporaryDirectory directory;
    fs::path root = directory / "cache/Lumivo/wallpapers";
    std::vector<fs::path> downloads;  // where each download was asked to land
    std::function<void(const fs::path&)> respond = [](const fs::path& to) {
        writeFile(to, content);
    };
    DownloadPolicy policy{{"lumivo.app"}, 4096};
};

TEST_F(WallpaperCacheTest, DownloadsIntoAHiddenTemporaryServesHitsAndReplacesChangedFiles) {
    WallpaperCache cache = makeCache();
    // The digest matches in any letter case and names the file as written.
    std::string upper = digest;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const auto record = videoRecord(videoURL, upper);

    const fs::path file = cache.localFile(record, policy);
    EXPECT_EQ(file, root / ("aurora-" + upper.substr(0, 12) + ".mp4"));
    EXPECT_EQ(readFile(file), content);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        downloads[0].string(),
        std::regex(root.string() +
                   R"(/\.aurora-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\.download)")));

    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(treeOf(root), std::vector<std::string>{file.filename().string()});
    writeFile(file, "tampered");
    EXPECT_EQ(cache.localFile(record, policy), file);
    EXPECT_EQ(downloads.size(), 2u);
    EXPECT_EQ(readFile(file), content);
}

// The stale copy at the destination goes too: it no longer verifies.
TEST_F(WallpaperCacheTest, FailuresLeaveNoFileBehind) {
    struct FailingMove : FileManager {  // as on a full or broken disk
        void moveItem(const fs::path&, const fs::path&) const override {
            throw std::system_error(std::make_error_code(std::errc::no_space_on_device), "move");
        }
    } failingMove;
    FileManager& standard = FileManager::standard();
    const std::vector<std::tuple<std::function<void(const fs::path&)>, FileManager*, HelperError>>
        table = {
            {[](const fs::path& to) { writeFile(to, "other"); }, &standard,
             HelperError::checksumMismatch()},
            {[](const fs::path& to) {
                 writeFile(to, "");
                 fs::resize_file(to, DownloadPolicy::defaultMaxBytes + 1);  // sparse
             },
             &standard, HelperError::badDownloadSize()},
            {[](const fs::path& to) {
                 writeFile(to, "partial");
                 throw HelperError::downloadFailed("boom");
             },
             &standard, HelperError::downloadFailed("boom")},
            {[](const fs::path&) {}, &standard, HelperError::unreadableFile()},
            {respond, &failingMove, HelperError::cacheFailed("move: No space left on device.")},
        };
    for (const auto& [response, fileManager, expected] : table) {
        fs::create_directories(root);
        const auto record = videoRecord(videoURL, digest);
        WallpaperCache cache = makeCache(*fileManager);
        writeFile(cache.cacheURL(record), "stale copy");
        respond = response;
        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), expected);
        EXPECT_EQ(treeOf(root), std::vector<std::string>{}) << expected.what();
    }
}

TEST_F(WallpaperCacheTest, RefusesUnsafeIdsAndPolicyBreachesBeforeTouchingAnything) {
    using namespace std::string_literals;
    WallpaperCache cache = makeCache();
    for (const std::string& id : {""s, "."s, ".."s, "../../escape"s, "dir/"s, "a\0b"s}) {
        const auto record = videoRecord(videoURL, digest, id);
        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy); }), HelperError::badID()) << id;
    }
    const auto http = videoRecord("http://lumivo.app/v/aurora.mp4", digest);
    EXPECT_EQ(thrownBy([&] { cache.localFile(http, policy); }),
              HelperError::unsupportedDownloadScheme());
    EXPECT_FALSE(fs::exists(directory / "cache"));
    EXPECT_TRUE(downloads.empty());
    // Dots inside an id are harmless and stay allowed.
    EXPECT_NO_THROW(cache.localFile(videoRecord(videoURL, digest, "..aurora.."), policy));
}

// A newline in an id would otherwise become a newline in a file name.
TEST_F(WallpaperCacheTest, RefusesIdsWithControlCharactersBeforeTouchingAnything) {
    using namespace std::string_literals;
    WallpaperCache cache = makeCache();
    for (const std::string& id : {"a\nb"s, "\x1b[2J"s, "tab\t"s, "\x01"s, "del\x7f"s, "\x1f"s}) {
        EXPECT_EQ(thrownBy([&] { cache.localFile(videoRecord(videoURL, digest, id), policy); }),
                  HelperError::badID())
            << id;
    }
    EXPECT_FALSE(fs::exists(directory / "cache"));
    EXPECT_TRUE(downloads.empty());
    // Printable non-ASCII text is no control character.
    EXPECT_NO_THROW(
        cache.localFile(videoRecord(videoURL, digest, "Nordlicht-\u00fcber-\u2603"), policy));
}

TEST_F(WallpaperCacheTest, SweepsOnlyTemporaryDownloadsOlderThanAnHour) {
    const std::string uuid = "0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
    const std::vector<std::tuple<std::string, int, bool>> files = {
        {".gone-" + uuid + ".download", 61, true},
        {".gone-two-" + uuid + ".download.1a2b3c4d.part", 120, true},
        {".young-" + uuid + ".download", 50, false},
        {".gone-not-a-uuid.download", 120, false},
        {"gone-" + uuid + ".download", 120, false},
    };
    std::vector<std::string> kept = {".dir-" + uuid + ".download"};
    const auto now = fs::file_time_type::clock::now();
    fs::create_directories(root / kept[0]);
    fs::last_write_time(root / kept[0], now - std::chrono::hours(2));
    for (const auto& [name, minutes, swept] : files) {
        writeFile(root / name, "x");
        fs::last_write_time(root / name, now - std::chrono::minutes(minutes));
        if (!swept) {
            kept.push_back(name);
        }
    }
    kept.push_back(makeCache().localFile(videoRecord(videoURL, digest), policy).filename());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(treeOf(root), kept);
}

TEST_F(WallpaperCacheTest, ValidityRestsOnAFullReadOfTheFile) {
    WallpaperCache cache = makeCache();
    const std::string twoChunks(1048576, 'z');
    writeFile(directory / "file", twoChunks + "tail");
    EXPECT_TRUE(cache.isValidCachedFile(directory / "file", test::sha256Of(twoChunks + "tail")));
    EXPECT_FALSE(cache.isValidCachedFile(directory / "file", test::sha256Of(twoChunks)));
    // Opens fine, then the first read fails with EIO.
    EXPECT_FALSE(cache.isValidCachedFile("/proc/self/mem", test::sha256Of("")));
}

// ---- Stopping ------------------------------------------------------------

// The real file system, which requests a stop on `stop` once a digest has had
// `after` chunks.
struct StopWhileHashing : FileManager {
    StopWhileHashing(std::stop_source stop, int after) : stop(std::move(stop)), after(after) {}
    bool readChunks(const fs::path& path, std::size_t chunkSize,
                    const std::function<void(std::span<const std::byte>)>& consume) const override {
        return FileManager::readChunks(path, chunkSize, [&](std::span<const std::byte> chunk) {
            consume(chunk);
            if (++chunks == after) {
                stop.request_stop();
            }
        });
    }
    mutable std::stop_source stop;
    int after;
    mutable int chunks = 0;
};

// Three chunks of a digest.
const std::string large = std::string(2 * 1048576, 'v') + "tail";

// The check of a copy is no verdict on it: it must not go for a stop.
TEST_F(WallpaperCacheTest, ACachedCopyStaysWhenAStopCutsItsCheckShort) {
    const auto record = videoRecord(videoURL, test::sha256Of(large));
    std::stop_source stop;
    StopWhileHashing files(stop, 1);
    WallpaperCache cache = makeCache(files);
    fs::create_directories(root);
    writeFile(cache.cacheURL(record), large);
    EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy, stop.get_token()); }),
              HelperError::downloadCancelled());
    EXPECT_EQ(files.chunks, 1) << "the digest was cut short";
    EXPECT_EQ(readFile(cache.cacheURL(record)), large);
    // The next call, with a token of its own, finds the copy valid.
    EXPECT_EQ(cache.localFile(record, policy), cache.cacheURL(record));
    EXPECT_TRUE(downloads.empty());
}

TEST_F(WallpaperCacheTest, AStopLeavesNothingOfTheDownloadWheneverItComes) {
    struct Row {
        const char* name;
        std::string body;
        bool before = false;      // requested before the call
        bool inDownload = false;  // requested by the download, which then fails
        int inDigest = 0;         // requested after this many chunks of the digest
    };
    const Row rows[] = {
        {"before the call", content, true},
        {"during the download", content, false, true},
        {"during the digest", large, false, false, 1},
        {"after the last chunk of the digest", content, false, false, 1},
    };
    for (const Row& row : rows) {
        fs::remove_all(directory / "cache");
        const auto record = videoRecord(videoURL, test::sha256Of(row.body));
        std::stop_source stop;
        StopWhileHashing files(stop, row.inDigest);
        WallpaperCache cache = makeCache(files);
        bool failing = row.inDownload;
        respond = [&](const fs::path& to) {
            writeFile(to, row.body);
            if (std::exchange(failing, false)) {
                stop.request_stop();
                throw HelperError::downloadCancelled();
            }
        };
        if (row.before) {
            stop.request_stop();
        }
        const std::size_t started = downloads.size();
        EXPECT_EQ(thrownBy([&] { cache.localFile(record, policy, stop.get_token()); }),
                  HelperError::downloadCancelled())
            << row.name;
        EXPECT_EQ(downloads.size(), started + (row.before ? 0 : 1)) << row.name;
        EXPECT_EQ(treeOf(root), std::vector<std::string>{}) << row.name;
        if (row.inDigest > 0) {
            EXPECT_EQ(files.chunks, row.inDigest) << row.name;
        }
        // The next call, with a token of its own, is not affected.
        EXPECT_EQ(readFile(cache.localFile(record, policy, std::stop_source().get_token())),
                  row.body)
            << row.name;
    }
}

}  // namespace
}  // namespace lumivo
