#include "CacheEviction.hpp"

#include <algorithm>
#include <tuple>

namespace lumivo {

std::vector<CacheEviction::Entry> CacheEviction::order(std::vector<Entry> entries) {
    std::erase_if(entries, [](const Entry& entry) { return entry.isProtected; });
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.lastApplied, a.name) < std::tie(b.lastApplied, b.name);
    });
    return entries;
}

std::vector<CacheEviction::Entry> CacheEviction::victims(const std::vector<Entry>& entries,
                                                         std::int64_t limitBytes) {
    std::int64_t remaining = total(entries);
    std::vector<Entry> chosen;
    for (Entry& entry : order(entries)) {
        if (remaining <= limitBytes) {
            break;
        }
        remaining -= entry.bytes;
        chosen.push_back(std::move(entry));
    }
    return chosen;
}

std::int64_t CacheEviction::total(const std::vector<Entry>& entries) {
    std::int64_t sum = 0;
    for (const Entry& entry : entries) {
        sum += entry.bytes;
    }
    return sum;
}

}  // namespace lumivo
