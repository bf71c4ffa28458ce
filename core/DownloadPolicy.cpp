#include "DownloadPolicy.hpp"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "HelperError.hpp"

namespace lumivo {

namespace {

std::string asciiLowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return text;
}

bool isHexLetter(UChar32 c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The digest must be 64 user-perceived characters, each either numeric (its
// first code point has a Unicode numeric type) or a hexadecimal letter.
// Malformed UTF-8 decodes to U+FFFD, which is neither, so it is refused too.
bool isWellFormedDigestText(const std::string& digest) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(digest);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        return false;
    }
    characters->setText(text);

    struct Character {
        std::int32_t start;
        std::int32_t end;
    };
    std::vector<Character> found;
    for (std::int32_t start = characters->first(), end = characters->next();
         end != icu::BreakIterator::DONE; start = end, end = characters->next()) {
        found.push_back({start, end});
        if (found.size() > 64) {
            return false;
        }
    }
    if (found.size() != 64) {
        return false;
    }
    return std::all_of(found.begin(), found.end(), [&](const Character& character) {
        const UChar32 first = text.char32At(character.start);
        const bool single = text.moveIndex32(character.start, 1) == character.end;
        if (single && isHexLetter(first)) {
            return true;
        }
        return u_getIntPropertyValue(first, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
    });
}

}  // namespace

DownloadPolicy::DownloadPolicy(std::set<std::string> allowedHosts, std::int64_t maxBytes)
    : allowedHosts_(std::move(allowedHosts)), maxBytes_(maxBytes) {}

void DownloadPolicy::validate(const WallpaperRecord& record) const {
    const Url& video = record.videoUrl();
    if (video.scheme() != "https") {
        throw HelperError::unsupportedDownloadScheme();
    }
    const std::optional<std::string> host = video.host();
    if (!host || !allowedHosts_.contains(*host)) {
        throw HelperError::disallowedDownloadHost(host);
    }
    if (asciiLowercased(video.pathExtension()) != "mp4") {
        throw HelperError::badDownloadFormat();
    }
    if (asciiLowercased(record.format()) != "mp4") {
        throw HelperError::badDownloadFormat();
    }
    if (record.bytes() <= 0 || record.bytes() > maxBytes_) {
        throw HelperError::badDownloadSize();
    }
    if (!isWellFormedDigestText(record.sha256())) {
        throw HelperError::badChecksum();
    }
}

}  // namespace lumivo
