#include "ManifestStore.hpp"

#include <string>
#include <unordered_set>

#include "HelperError.hpp"
#include "ManifestDecoder.hpp"
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

std::vector<WallpaperRecord> ManifestStore::allRecords() const {
    return withManifestErrors(
        [&] { return validate(ManifestDecoder::decode(loader_->loadData(url_))); });
}

std::optional<WallpaperRecord> ManifestStore::record(std::string_view id) const {
    return withManifestErrors([&]() -> std::optional<WallpaperRecord> {
        std::vector<WallpaperRecord> records = allRecords();
        const std::string wanted = toNFC(id);
        for (auto& candidate : records) {
            // Byte-identical ids are equal in any normal form; skip the work.
            if (candidate.id() == id || toNFC(candidate.id()) == wanted) {
                return std::move(candidate);
            }
        }
        return std::nullopt;
    });
}

std::vector<WallpaperRecord> ManifestStore::validate(std::vector<WallpaperRecord> records) {
    if (records.empty()) {
        throw HelperError::emptyManifest();
    }
    std::unordered_set<std::string> seen;
    seen.reserve(records.size());
    for (const auto& record : records) {
        if (!seen.insert(toNFC(record.id())).second) {
            throw HelperError::duplicateManifestID(record.id());
        }
    }
    return records;
}

}  // namespace lumivo
