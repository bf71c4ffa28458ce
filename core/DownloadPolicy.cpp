#include "DownloadPolicy.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <vector>

#include "AsciiText.hpp"
#include "HelperError.hpp"
#include "UnicodeText.hpp"

namespace lumivo {

namespace {

bool isHexLetter(UChar32 c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The digest must be 64 user-perceived characters, each either numeric (its
// first code point has a Unicode numeric type) or a hexadecimal letter.
// Malformed UTF-8 decodes to U+FFFD, which is neither, so it is refused too.
bool isWellFormedDigestText(const std::string& digest) {
    std::vector<std::string> characters;
    try {
        characters = userCharacters(digest, 65);
    } catch (const std::runtime_error&) {
        return false;
    }
    if (characters.size() != 64) {
        return false;
    }
    return std::all_of(characters.begin(), characters.end(), [](const std::string& character) {
        std::int32_t offset = 0;
        UChar32 first = 0;
        U8_NEXT(character.data(), offset, static_cast<std::int32_t>(character.size()), first);
        const bool single = static_cast<std::size_t>(offset) == character.size();
        if (single && isHexLetter(first)) {
            return true;
        }
        return first >= 0 && u_getIntPropertyValue(first, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
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
