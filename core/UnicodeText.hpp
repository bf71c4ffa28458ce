#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumivo {

// The NFC (canonical composition) form of UTF-8 text, so that canonically
// equivalent texts compare equal byte for byte. Ill-formed UTF-8 sequences
// are kept as they are (not replaced by U+FFFD), so they never equal
// well-formed text. Thread-safe.
std::string toNFC(std::string_view text);

// The first `limit` user-perceived characters (extended grapheme clusters,
// ICU root-locale rules) of UTF-8 text, each as its UTF-8 bytes; fewer when
// the text is shorter. An ill-formed sequence comes back as U+FFFD. Throws
// std::runtime_error when ICU cannot segment text. Thread-safe.
std::vector<std::string> userCharacters(std::string_view text, std::size_t limit);

}  // namespace lumivo
