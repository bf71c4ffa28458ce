#include "UnicodeText.hpp"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace lumivo {

std::string toNFC(std::string_view text) {
    // ASCII is always in NFC; manifests are mostly ASCII ids.
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(text);
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Unicode normalisation unavailable: ") +
                                 u_errorName(status));
    }
    const icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
    if (nfc->isNormalizedUTF8(piece, status) && U_SUCCESS(status)) {
        return std::string(text);
    }
    status = U_ZERO_ERROR;
    std::string normalized;
    icu::StringByteSink<std::string> sink(&normalized);
    nfc->normalizeUTF8(0, piece, sink, nullptr, status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Unicode normalisation failed: ") +
                                 u_errorName(status));
    }
    return normalized;
}

std::vector<std::string> userCharacters(std::string_view text, std::size_t limit) {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        throw std::runtime_error("Text segmentation is unavailable.");
    }
    breaks->setText(unicode);
    std::vector<std::string> characters;
    for (std::int32_t start = breaks->first(), end = breaks->next();
         end != icu::BreakIterator::DONE && characters.size() < limit;
         start = end, end = breaks->next()) {
        std::string character;
        unicode.tempSubStringBetween(start, end).toUTF8String(character);
        characters.push_back(std::move(character));
    }
    return characters;
}

}  // namespace lumivo
