#pragma once

#include <string>
#include <string_view>

namespace lumivo {

// The NFC (canonical composition) form of UTF-8 text, so that canonically
// equivalent texts compare equal byte for byte. Ill-formed UTF-8 sequences
// are kept as they are (not replaced by U+FFFD), so they never equal
// well-formed text. Thread-safe.
std::string toNFC(std::string_view text);

}  // namespace lumivo
