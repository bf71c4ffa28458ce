#include "CacheUpkeep.hpp"

#include <charconv>

#include "HelperError.hpp"
#include "LogText.hpp"

namespace lumivo {

namespace {

constexpr const char* limitKey = "cacheLimitMiB";

std::optional<std::int64_t> positiveMiB(const std::string& text) {
    std::int64_t mib = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, mib);
    if (error != std::errc() || rest != end || mib <= 0 || mib > (INT64_MAX >> 20)) {
        return std::nullopt;
    }
    return mib;
}

}  // namespace

void CacheUpkeep::applied(const std::filesystem::path& file, bool fromCache,
                          std::vector<std::filesystem::path> kept) {
    kept.push_back(file);
    keep(kept);
    if (!fromCache) {
        return;
    }
    folder_.markApplied(file);
    const std::int64_t limit = limitBytes();
    worker_.run(
        context_, [folder = folder_, limit] { return folder.prune(limit); },
        [log = log_](const Outcome<std::vector<CacheFolder::Removal>>& pruned) {
            if (pruned.failed()) {
                return log("Cannot trim the cache: " + localizedDescription(pruned.error()));
            }
            for (const CacheFolder::Removal& removal : pruned.value()) {
                const std::string path = escapedLogText(removal.path.string());
                log(removal.failure ? "Cannot remove " + path +
                                          " from the cache: " + escapedLogText(*removal.failure)
                                    : "Removed " + path + " from the cache (" +
                                          std::to_string(removal.bytes) + " bytes)");
            }
        });
}

void CacheUpkeep::keep(const std::vector<std::filesystem::path>& files) {
    try {
        folder_.protect(files);
    } catch (...) {
        log_("Cannot keep the list of wallpapers in use: " +
             localizedDescription(std::current_exception()));
    }
}

std::int64_t CacheUpkeep::limitBytes() const {
    const std::optional<std::string> text = settings_.text(limitKey);
    std::optional<std::int64_t> mib = text ? positiveMiB(*text) : defaultLimitMiB;
    if (!mib) {
        log_(std::string("Ignoring ") + limitKey + "=" + shortenedText(escapedLogText(*text)) +
             ": not a positive whole number of MiB; using " + std::to_string(defaultLimitMiB));
        mib = defaultLimitMiB;
    }
    return *mib << 20;
}

}  // namespace lumivo
