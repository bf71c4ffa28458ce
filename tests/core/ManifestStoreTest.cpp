#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "HelperError.hpp"
#include "ManifestFixtures.hpp"
#include "ManifestStore.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo {

void PrintTo(const HelperError& error, std::ostream* os) {
    *os << error.what();
}

namespace {

using test::manifestWithIds;

// Hands out whatever `produce` returns or throws.
class FakeLoader : public ManifestDataLoading {
  public:
    explicit FakeLoader(std::function<std::string()> produce) : produce_(std::move(produce)) {}
    std::string loadData(const Url&) override { return produce_(); }

  private:
    std::function<std::string()> produce_;
};

ManifestStore storeOf(std::function<std::string()> produce) {
    return ManifestStore(*Url::parse("https://localhost/api/wallpapers.json"),
                         std::make_unique<FakeLoader>(std::move(produce)));
}

ManifestStore storeOf(const std::string& json) {
    return storeOf([json] { return json; });
}

// The HelperError that both queries throw, checked to be the same.
std::optional<HelperError> failure(const ManifestStore& store) {
    std::optional<HelperError> fromAll, fromRecord;
    try {
        store.allRecords();
    } catch (const HelperError& error) {
        fromAll = error;
    }
    try {
        store.record("a");
    } catch (const HelperError& error) {
        fromRecord = error;
    }
    EXPECT_EQ(fromAll, fromRecord);
    return fromAll;
}

TEST(ManifestStore, ValidatesEmptinessThenTheFirstRepeatedId) {
    const auto missingKey =
        "[" + test::recordObject("a") + "," + test::recordObject("b", {{"format", ""}}) + "]";
    const std::vector<std::pair<std::string, std::optional<HelperError>>> table = {
        {"[]", HelperError::emptyManifest()},
        {"", HelperError::manifestLoadFailed("not valid JSON: Empty: no JSON found")},
        {" \t\n", HelperError::manifestLoadFailed("not valid JSON: Empty: no JSON found")},
        {missingKey, HelperError::manifestLoadFailed("element 1: key \"format\" is missing")},
        // Decoding covers the whole document before any id is compared.
        {"[" + test::recordObject("a") + "," + test::recordObject("a") + "," +
             test::recordObject("b", {{"videoUrl", "\"https://x.y:99999/v.mp4\""}}) + "]",
         HelperError::manifestLoadFailed("element 2: key \"videoUrl\" is not a valid URL")},
        {manifestWithIds({"a", "b", "b", "a"}), HelperError::duplicateManifestID("b")},
        {manifestWithIds({"a", "b", "c", "a", "b"}), HelperError::duplicateManifestID("a")},
        // Canonically equivalent spellings of "é" are one id.
        {manifestWithIds({"caf\xc3\xa9", "cafe\xcc\x81"}),
         HelperError::duplicateManifestID("cafe\xcc\x81")},
        {manifestWithIds({"a", "A", " a", "a "}), std::nullopt},
    };
    for (const auto& [json, expected] : table) {
        EXPECT_EQ(failure(storeOf(json)), expected) << json;
    }
}

TEST(ManifestStore, LoaderErrorsPassAsHelperErrors) {
    EXPECT_EQ(failure(storeOf([]() -> std::string { throw HelperError::badURL(); })),
              HelperError::badURL());
    EXPECT_EQ(failure(storeOf([]() -> std::string { throw std::runtime_error("disk on fire"); })),
              HelperError::manifestLoadFailed("disk on fire"));
    EXPECT_EQ(failure(storeOf([]() -> std::string { throw 42; })),
              HelperError::manifestLoadFailed("unknown error"));
}

TEST(ManifestStore, LooksUpIdsUnderNFCCaseSensitivelyAndUntrimmed) {
    const auto store = storeOf(
        manifestWithIds({"abc", "ABC", "caf\xc3\xa9", "\xef\xbf\xbd", "\xe1\xb8\x8a\xcc\xa3"}));
    const std::vector<std::pair<std::string, std::optional<std::string>>> table = {
        {"abc", "abc"},
        {"ABC", "ABC"},
        {"Abc", std::nullopt},
        {" abc", std::nullopt},
        {"abc ", std::nullopt},
        {"cafe\xcc\x81", "caf\xc3\xa9"},
        // D + dot above + dot below, in two orders, equals the record's form.
        {"D\xcc\x87\xcc\xa3", "\xe1\xb8\x8a\xcc\xa3"},
        {"D\xcc\xa3\xcc\x87", "\xe1\xb8\x8a\xcc\xa3"},
        // Ill-formed UTF-8 is not read as U+FFFD.
        {"\xff", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [id, expected] : table) {
        const auto found = store.record(id);
        EXPECT_EQ(found ? std::optional(found->id()) : std::nullopt, expected) << id;
    }
    EXPECT_EQ(store.allRecords().size(), 5u);
}

TEST(ManifestStore, ReadsARealFileAfreshOnEveryQuery) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lumivo-store-" + std::to_string(::getpid()) + ".json");
    const auto write = [&](const std::string& json) { std::ofstream(path) << json; };
    const ManifestStore store(Url::fileURL(path), std::make_unique<URLManifestDataLoader>());

    write(manifestWithIds({"first"}));
    EXPECT_TRUE(store.record("first"));
    write(manifestWithIds({"second"}));
    EXPECT_FALSE(store.record("first"));
    EXPECT_EQ(store.record("second")->title(), "Title second");
    std::filesystem::remove(path);
    EXPECT_EQ(failure(store),
              HelperError::manifestLoadFailed(path.string() + ": No such file or directory"));
}

}  // namespace
}  // namespace lumivo
