#pragma once

#include "AppDelegate.hpp"

namespace lumivo {

// The real parts the helper runs with: the libcurl loaders and downloader on
// the standard file manager, and the Qt adapters for player, alerts, browser,
// settings, log and tray. Needs a QApplication.
class StandardPlatform {
  public:
    static AppDelegate::Sources sources();
    // `atLogin`: started with the session, when a tray may still be starting.
    static AppDelegate::Platform platform(bool atLogin = false);
};

}  // namespace lumivo
