#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumivo {

// Texts from outside (ids, titles, URLs, error reasons) made safe to put in a
// log line or an alert. Pure functions; thread-safe.
//
// For a log line, pass the whole line through escapedLogText() just before it
// is written. For an id or other outside text shown in a log line or an alert,
// use shortenedText(escapedLogText(text)): at most 200 characters, one line.

// `text` with every control character written as an escape, so one event is
// always one line and no terminal sequence gets through: "\n", "\r", "\t",
// other C0 controls and DEL as "\x1b", "\x7f" and so on, C1 controls and the
// Unicode line and paragraph separators (U+0085, U+2028, U+2029) as "\u0085"
// and so on, and each byte of ill-formed UTF-8 as "\xff". Everything else,
// well-formed non-ASCII text included, stays as it is. A backslash is not
// escaped, so the result never changes when escaped again: the log sink may
// escape a line whose parts were escaped already.
std::string escapedLogText(std::string_view text);

// `text` cut to at most `maxCharacters` characters (code points; a byte of
// ill-formed UTF-8 counts as one), the ellipsis "…" included, which ends a
// text that was cut. Never cuts inside a UTF-8 sequence.
std::string shortenedText(std::string_view text, std::size_t maxCharacters = 200);

}  // namespace lumivo
