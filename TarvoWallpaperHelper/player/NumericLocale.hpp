#pragma once

namespace lumivo {

// libmpv refuses to create a player unless LC_NUMERIC is "C", and QApplication's
// constructor adopts the user's locale for every category. Call this once the
// QApplication exists (main does; MpvPlayer repeats it before creating mpv).
// Touches only LC_NUMERIC; messages and collation keep the user's locale.
void useCNumericLocale();

}  // namespace lumivo
