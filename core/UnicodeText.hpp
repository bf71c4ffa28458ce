#pragma once

#include <string>
#include <string_view>

namespace lumivo {

// The NFC (canonical composition) form of UTF-8 text, so that canonically
// equivalent texts compare equal byte for byte. Text that is not well-formed
// UTF-8 is returned unchanged: it then equals only byte-identical text and
// never a well-formed string. Thread-safe.
std::string toNFC(std::string_view text);

}  // namespace lumivo
