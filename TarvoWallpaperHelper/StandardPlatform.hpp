#pragma once

#include "AppDelegate.hpp"

namespace lumivo {

// The real parts the helper runs with: the libcurl loaders and downloader on
// the standard file manager, and the Qt adapters for player, alerts, browser,
// settings, log and tray. Needs a QApplication.
class StandardPlatform {
  public:
    static AppDelegate::Sources sources();
    static AppDelegate::Platform platform();
};

}  // namespace lumivo
