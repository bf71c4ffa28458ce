#include <gtest/gtest.h>

#include "CoreFixtures.hpp"
#include "ManifestStore.hpp"
#include "URLManifestDataLoader.hpp"

namespace lumivo {
namespace {

using test::manifestWithIds;
using test::recordObject;

// Hands out whatever `produce` returns or throws.
struct FakeLoader : ManifestDataLoading {
    explicit FakeLoader(std::function<std::string()> produce) : produce(std::move(produce)) {}
    std::string loadData(const Url&, std::stop_token) override { return produce(); }
    std::function<std::string()> produce;
};

ManifestStore storeOf(std::function<std::string()> produce) {
    return ManifestStore(*Url::parse("https://localhost/api/wallpapers.json"),
                         std::make_unique<FakeLoader>(std::move(produce)));
}

// The HelperError that both queries throw, checked to be the same.
std::optional<HelperError> failure(const ManifestStore& store) {
    const auto fromAll = test::thrownBy([&] { store.allRecords(); });
    EXPECT_EQ(fromAll, test::thrownBy([&] { store.record("a"); }));
    return fromAll;
}

TEST(ManifestStore, RefusesEmptyOrRepeatedIdsAndPassesLoaderErrorsAsHelperErrors) {
    const auto raise = [](auto error) { return [error]() -> std::string { throw error; }; };
    const auto serve = [](const std::string& json) { return [json] { return json; }; };
    const std::vector<std::pair<std::function<std::string()>, std::optional<HelperError>>> table = {
        {serve("[]"), HelperError::emptyManifest()},
        {serve(" \t\n"), HelperError::manifestLoadFailed("not valid JSON: Empty: no JSON found")},
        // Decoding covers the whole document before any id is compared.
        {serve(std::string("[")
                   .append(recordObject("a"))
                   .append(",")
                   .append(recordObject("a"))
                   .append(",")
                   .append(recordObject("b", {{"videoUrl", "\"https://x.y:99999/v.mp4\""}}))
                   .append("]")),
         HelperError::manifestLoadFailed("element 2: key \"videoUrl\" is not a valid URL")},
        // The id whose second occurrence comes first.
        {serve(manifestWithIds({"a", "b", "b", "a"})), HelperError::duplicateManifestID("b")},
        // Canonically equivalent spellings of "é" are one id.
        {serve(manifestWithIds({"caf\xc3\xa9", "cafe\xcc\x81"})),
         HelperError::duplicateManifestID("cafe\xcc\x81")},
        {serve(manifestWithIds({"a", "A", " a", "a "})), std::nullopt},
        {raise(HelperError::badURL()), HelperError::badURL()},
        {raise(std::runtime_error("disk on fire")),
         HelperError::manifestLoadFailed("disk on fire")},
        {raise(42), HelperError::manifestLoadFailed("unknown error")},
    };
    for (const auto& [produce, expected] : table) {
        EXPECT_EQ(failure(storeOf(produce)), expected) << testing::PrintToString(expected);
    }
}

TEST(ManifestStore, LooksUpIdsUnderNFCCaseSensitivelyAndUntrimmed) {
    const auto json =
        manifestWithIds({"abc", "ABC", "caf\xc3\xa9", "\xef\xbf\xbd", "\xe1\xb8\x8a\xcc\xa3"});
    const auto store = storeOf([json] { return json; });
    const std::vector<std::pair<std::string, std::optional<std::string>>> table = {
        {"abc", "abc"},
        {"Abc", std::nullopt},
        {" abc", std::nullopt},
        {"cafe\xcc\x81", "caf\xc3\xa9"},
        // D + dot above + dot below reorders and composes to the record's form.
        {"D\xcc\x87\xcc\xa3", "\xe1\xb8\x8a\xcc\xa3"},
        // Ill-formed UTF-8 is not read as U+FFFD.
        {"\xff", std::nullopt}};
    for (const auto& [id, expected] : table) {
        const auto found = store.record(id);
        EXPECT_EQ(found ? std::optional(found->id()) : std::nullopt, expected) << id;
    }
}

TEST(ManifestStore, ReadsARealFileAfreshOnEveryQuery) {
    const test::TemporaryDirectory directory;
    const auto path = directory / "wallpapers.json";
    const ManifestStore store(Url::fileURL(path), std::make_unique<URLManifestDataLoader>());
    test::writeFile(path, manifestWithIds({"first"}));
    EXPECT_TRUE(store.record("first"));
    test::writeFile(path, manifestWithIds({"second"}));
    EXPECT_FALSE(store.record("first"));
    EXPECT_TRUE(store.record("second"));
}

}  // namespace
}  // namespace lumivo
