#include "UrlSyntax.hpp"

#include "Url.hpp"

namespace lumivo {

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// unreserved / sub-delims (RFC 3986), the characters of a host name.
bool isRegNameChar(char c) {
    if (isAlpha(c) || isDigit(c)) {
        return true;
    }
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
            return true;
        default:
            return false;
    }
}

// Scans *( pchar / extra ) from `i`; returns false on a bad percent escape.
// pchar = unreserved / sub-delims / ":" / "@" / pct-encoded.
bool scanChars(std::string_view text, std::size_t& i, std::string_view extra) {
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
            i += 3;
        } else if (isRegNameChar(c) || c == ':' || c == '@' ||
                   extra.find(c) != std::string_view::npos) {
            ++i;
        } else {
            break;
        }
    }
    return true;
}

// Path, query and fragment from `i` to the end: *( "/" / pchar ) ["?" ...] ["#" ...].
bool scanTail(std::string_view text, std::size_t i) {
    if (!scanChars(text, i, "/")) {
        return false;
    }
    if (i < text.size() && text[i] == '?') {
        ++i;
        if (!scanChars(text, i, "/?")) {
            return false;
        }
    }
    if (i < text.size() && text[i] == '#') {
        ++i;
        if (!scanChars(text, i, "/?")) {
            return false;
        }
    }
    return i == text.size();
}

// true: certainly valid; false: not a shape the scanner knows (may be valid).
bool fastAccepts(std::string_view text) {
    std::size_t i = 0;
    if (text.size() >= 2 && text[0] == '/' && text[1] != '/') {
        return scanTail(text, 1);  // root-relative path
    }
    if (text.empty() || !isAlpha(text[0])) {
        return false;
    }
    while (i < text.size() && (isAlpha(text[i]) || isDigit(text[i]) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    if (text.substr(i, 3) != "://") {
        return false;
    }
    i += 3;
    const std::size_t hostStart = i;
    while (i < text.size() && isRegNameChar(text[i])) {
        ++i;
    }
    if (i == hostStart) {
        return false;
    }
    if (i < text.size() && text[i] == ':') {
        ++i;
        unsigned port = 0;
        std::size_t digits = 0;
        while (i < text.size() && isDigit(text[i]) && digits < 5) {
            port = port * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || port > 65535) {
            return false;
        }
    }
    if (i < text.size() && text[i] != '/' && text[i] != '?' && text[i] != '#') {
        return false;
    }
    return scanTail(text, i);
}

}  // namespace

bool isValidUrlReference(std::string_view text) {
    return fastAccepts(text) || Url::parse(text).has_value();
}

}  // namespace lumivo
