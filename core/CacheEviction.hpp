#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lumivo {

// Which downloaded videos leave the cache when it holds more than its limit:
// the least recently applied first, never a protected one (playing, or
// remembered for the next login), and no more than it takes to fit. Pure.
class CacheEviction {
  public:
    struct Entry {
        std::string name;
        std::int64_t bytes = 0;
        std::filesystem::file_time_type lastApplied;
        bool isProtected = false;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // Every unprotected entry, least recently applied first; equal times go
    // by name, so that the order never depends on how the folder was listed.
    static std::vector<Entry> order(std::vector<Entry> entries);

    // The entries to remove, in that order, so that the total of what stays
    // is at most `limitBytes`. When the protected ones alone exceed it, every
    // unprotected entry goes and the total stays above the limit.
    static std::vector<Entry> victims(const std::vector<Entry>& entries, std::int64_t limitBytes);

    // The sum of the entries' sizes.
    static std::int64_t total(const std::vector<Entry>& entries);
};

}  // namespace lumivo
