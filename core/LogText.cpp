#include "LogText.hpp"

#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>

namespace lumivo {

namespace {

// Calls `each` with the byte range of every character of `text` in order and
// its code point, or -1 for a byte of ill-formed UTF-8, which is a range of
// its own.
template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            i = start + 1;
        }
        if (!each(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)),
                  c)) {
            return;
        }
    }
}

}  // namespace

std::string escapedLogText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    forEachCharacter(text, [&escaped](std::string_view character, UChar32 c) {
        char buffer[8];
        if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c < 0x20 || c == 0x7f) {  // ill-formed bytes (c < 0) too
            std::snprintf(buffer, sizeof buffer, "\\x%02x",
                          static_cast<unsigned>(static_cast<unsigned char>(character[0])));
            escaped += buffer;
        } else if ((c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029) {
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
            escaped += buffer;
        } else {
            escaped += character;
        }
        return true;
    });
    return escaped;
}

std::string shortenedText(std::string_view text, std::size_t maxCharacters) {
    static constexpr std::string_view ellipsis = "\u2026";
    // Where the text ends after maxCharacters - 1 characters, and whether
    // more than maxCharacters follow.
    std::size_t count = 0;
    std::size_t keep = 0;
    bool tooLong = false;
    forEachCharacter(text, [&](std::string_view character, UChar32) {
        if (++count > maxCharacters) {
            tooLong = true;
            return false;
        }
        if (count < maxCharacters) {
            keep = static_cast<std::size_t>(character.data() - text.data()) + character.size();
        }
        return true;
    });
    if (!tooLong) {
        return std::string(text);
    }
    if (maxCharacters == 0) {
        return {};
    }
    return std::string(text.substr(0, keep)) + std::string(ellipsis);
}

}  // namespace lumivo
