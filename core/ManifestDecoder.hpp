#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "WallpaperRecord.hpp"

namespace lumivo {

// Decodes a manifest document: strict RFC 8259 JSON in UTF-8 (no BOM,
// comments, trailing commas, NaN or numbers out of range), a top-level array
// whose every element is an object holding all 13 record keys.
//
// Rules beyond the record format itself:
// - "bytes", "width" and "height" must be written as JSON integers within the
//   signed 64-bit range. Fraction or exponent notation (1.0, 1e3) is refused
//   even when the value is integral, because a double cannot tell 2^53 + 1
//   from 2^53 and the field must hold the written value exactly.
// - A record key that occurs twice in one object is refused: readers that
//   keep the first and readers that keep the last would disagree about, say,
//   the digest. Unknown keys are ignored, repeated or not.
// - "thumbnailUrl" and "videoUrl" must parse as URL references (relative ones
//   included); the empty string is not a URL.
// Elements are counted from 0 in error descriptions, like JSON array indices.
class ManifestDecoder {
  public:
    // Sees the id of every element in document order; true keeps its record.
    using Selector = std::function<bool(std::string_view id)>;

    // Bytes the parser may read past a document's end. A std::string whose
    // capacity leaves this much room behind its content is parsed in place.
    static constexpr std::size_t padding = 64;

    ManifestDecoder();
    ~ManifestDecoder();
    ManifestDecoder(ManifestDecoder&&) noexcept;
    ManifestDecoder& operator=(ManifestDecoder&&) noexcept;

    // All records in document order. Throws ManifestDecodingError on the first
    // fault; no partial list is ever returned.
    static std::vector<WallpaperRecord> decode(std::string_view json);
    // Checks the whole document exactly as decode() does, but builds only the
    // records whose id `select` accepts (a lookup needs one of thousands).
    static std::vector<WallpaperRecord> decode(std::string_view json, const Selector& select);

    // As the static decode(), but the parser's memory is kept for the next
    // document, and `json` is parsed in place when its capacity holds the
    // padding (else copied once). One call at a time per decoder.
    std::vector<WallpaperRecord> parse(const std::string& json, const Selector& select);

  private:
    struct Parser;
    std::unique_ptr<Parser> parser_;
};

}  // namespace lumivo
