#pragma once

#include <string>

#include "Alerting.hpp"
#include "SettingsStoring.hpp"

namespace lumivo {

// The welcome shown on a user's first run: "Open Gallery" (0) or "OK" (1),
// which Escape also answers.
AlertRequest welcomeAlert();

// Shows the welcome on the user's first run only: "hasShownWelcome" is set
// before it shows, so it never shows twice, however it ends. True when the
// user chose "Open Gallery".
bool welcomeOpensGallery(SettingsStoring& settings, Alerting& alerts);

// The alert for a failed command, with the error's description:
// "Open Gallery" (0), "Quit" (1) or "Cancel" (2), which Escape also answers.
AlertRequest errorAlert(const std::string& description);

// A notice the user acts on outside the helper (log in again): "OK" only.
AlertRequest noticeAlert(const std::string& text);

}  // namespace lumivo
