#include "UnicodeText.hpp"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>

#include <algorithm>
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

}  // namespace lumivo
