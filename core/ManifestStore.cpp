#include "ManifestStore.hpp"

#include <string>
#include <unordered_set>

#include "HelperError.hpp"
#include "UnicodeText.hpp"

namespace lumivo {

namespace {

// Runs `body`, letting a HelperError through unchanged and turning any other
// failure into manifestLoadFailed with its description.
template <typename Body>
auto withManifestErrors(Body body) -> decltype(body()) {
    try {
        return body();
    } catch (const HelperError&) {
        throw;
    } catch (const std::exception& error) {
        throw HelperError::manifestLoadFailed(localizedDescription(error));
    } catch (...) {
        throw HelperError::manifestLoadFailed("unknown error");
    }
}

}  // namespace

std::vector<WallpaperRecord> ManifestStore::allRecords(std::stop_token stop) const {
    return withManifestErrors([&] {
        return validate(decode(loader_->loadData(url_, std::move(stop)),
                               [](std::string_view) { return true; }));
    });
}

std::optional<WallpaperRecord> ManifestStore::record(std::string_view id,
                                                     std::stop_token stop) const {
    return withManifestErrors([&]() -> std::optional<WallpaperRecord> {
        const std::string wanted = toNFC(id);
        std::vector<std::string> ids;
        // Every element is checked, but only a matching record is built.
        auto matches =
            decode(loader_->loadData(url_, std::move(stop)), [&](std::string_view candidate) {
                ids.emplace_back(candidate);
                // Byte-identical ids are equal in any normal form; skip the work.
                return candidate == id || toNFC(candidate) == wanted;
            });
        validateIds(ids);
        if (matches.empty()) {
            return std::nullopt;
        }
        return std::move(matches.front());
    });
}

std::vector<WallpaperRecord> ManifestStore::decode(const std::string& json,
                                                   const ManifestDecoder::Selector& select) const {
    const std::lock_guard lock(decoderMutex_);
    return decoder_.parse(json, select);
}

std::vector<WallpaperRecord> ManifestStore::validate(std::vector<WallpaperRecord> records) {
    std::vector<std::string> ids;
    ids.reserve(records.size());
    for (const auto& record : records) {
        ids.push_back(record.id());
    }
    validateIds(ids);
    return records;
}

void ManifestStore::validateIds(const std::vector<std::string>& ids) {
    if (ids.empty()) {
        throw HelperError::emptyManifest();
    }
    std::unordered_set<std::string> seen;
    seen.reserve(ids.size());
    for (const auto& id : ids) {
        if (!seen.insert(toNFC(id)).second) {
            throw HelperError::duplicateManifestID(id);
        }
    }
}

}  // namespace lumivo
