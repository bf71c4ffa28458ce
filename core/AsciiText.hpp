#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace lumivo {

// Locale-free ASCII case folding for protocol text (schemes, hosts, file
// extensions, hex digests): only 'A' to 'Z' change, every other byte (UTF-8
// included) stays as it is, whatever the process locale says.
constexpr char asciiLowercase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLowercased(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return asciiLowercase(c); });
    return lowered;
}

constexpr bool equalIgnoringASCIICase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLowercase(x) == asciiLowercase(y); });
}

}  // namespace lumivo
