#include <gtest/gtest.h>

#include "CacheEviction.hpp"

namespace lumivo {
namespace {

using Entry = CacheEviction::Entry;

// An entry applied `minutesAgo` before a fixed moment.
Entry entry(const std::string& name, std::int64_t bytes, int minutesAgo, bool kept = false) {
    const std::filesystem::file_time_type moment{std::chrono::hours(1000)};
    return Entry{name, bytes, moment - std::chrono::minutes(minutesAgo), kept};
}

std::vector<std::string> names(const std::vector<Entry>& entries) {
    std::vector<std::string> result;
    for (const Entry& e : entries) {
        result.push_back(e.name);
    }
    return result;
}

TEST(CacheEvictionTest, LeastRecentlyAppliedGoFirstUntilTheRestFits) {
    const std::vector<Entry> cache = {entry("new", 400, 1), entry("oldest", 300, 90),
                                      entry("middle", 300, 30), entry("old", 300, 60)};
    struct Case {
        std::int64_t limit;
        std::vector<std::string> gone;
    };
    for (const Case& c : std::vector<Case>{{1300, {}},
                                           {1000, {"oldest"}},
                                           {999, {"oldest", "old"}},
                                           {700, {"oldest", "old"}},
                                           {400, {"oldest", "old", "middle"}},
                                           {0, {"oldest", "old", "middle", "new"}}}) {
        EXPECT_EQ(names(CacheEviction::victims(cache, c.limit)), c.gone) << c.limit;
    }
}

TEST(CacheEvictionTest, ProtectedFilesNeverGoEvenAboveTheLimit) {
    const std::vector<Entry> cache = {entry("playing", 900, 120, true), entry("a", 100, 10),
                                      entry("remembered", 500, 200, true), entry("b", 100, 5)};
    EXPECT_EQ(names(CacheEviction::victims(cache, 1500)), (std::vector<std::string>{"a"}));
    // The kept files alone exceed it: everything else goes, they stay.
    EXPECT_EQ(names(CacheEviction::victims(cache, 1000)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(names(CacheEviction::order(cache)), (std::vector<std::string>{"a", "b"}));
}

TEST(CacheEvictionTest, EqualTimesGoByNameWhateverTheListingOrder) {
    const std::vector<Entry> listed = {entry("c", 10, 5), entry("a", 10, 5), entry("b", 10, 5)};
    EXPECT_EQ(names(CacheEviction::victims(listed, 10)), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace lumivo
