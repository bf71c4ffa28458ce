#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "ManifestDataLoading.hpp"
#include "ManifestDecoder.hpp"
#include "Url.hpp"
#include "WallpaperRecord.hpp"

namespace lumivo {

// Answers which wallpaper has a given id in the manifest at one URL. Every
// query reads, decodes and validates the whole manifest afresh; no record is
// cached, so a changed manifest counts from the next query on. Only the
// parser's memory is kept between queries. Concurrent queries are safe when
// the loader's are (their decoding takes turns).
class ManifestStore {
  public:
    ManifestStore(Url url, std::unique_ptr<ManifestDataLoading> loader)
        : url_(std::move(url)), loader_(std::move(loader)) {}

    // Every record in document order. Throws HelperError only: the loader's
    // own HelperError unchanged, emptyManifest, duplicateManifestID, or
    // manifestLoadFailed for any other reading or decoding failure. `stop`
    // goes to the loader.
    std::vector<WallpaperRecord> allRecords(std::stop_token stop = {}) const;
    // The record whose id equals `id` under NFC (case-sensitive, untrimmed),
    // or absent when none does. Throws as allRecords().
    std::optional<WallpaperRecord> record(std::string_view id, std::stop_token stop = {}) const;

  private:
    // Returns `records` unchanged, or throws emptyManifest, or
    // duplicateManifestID for the id whose second occurrence comes first.
    static std::vector<WallpaperRecord> validate(std::vector<WallpaperRecord> records);
    // The same checks over the ids of a document, in document order.
    static void validateIds(const std::vector<std::string>& ids);

    // Decodes under the lock, reusing the parser's memory.
    std::vector<WallpaperRecord> decode(const std::string& json,
                                        const ManifestDecoder::Selector& select) const;

    Url url_;
    std::unique_ptr<ManifestDataLoading> loader_;
    mutable std::mutex decoderMutex_;
    mutable ManifestDecoder decoder_;
};

}  // namespace lumivo
