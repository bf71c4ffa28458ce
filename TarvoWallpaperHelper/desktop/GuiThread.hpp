#pragma once

namespace lumivo {

// Aborts with a message naming `entryPoint` unless called on the thread of the
// QCoreApplication. Every entry point the desktop calls confirms it this way;
// the check is cheap enough to stay in release builds.
void requireGuiThread(const char* entryPoint);

}  // namespace lumivo
