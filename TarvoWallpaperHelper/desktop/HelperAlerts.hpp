#pragma once

#include <string>

#include "Alerting.hpp"

namespace lumivo {

// The welcome shown on a user's first run: "Open Gallery" (0) or "OK" (1),
// which Escape also answers.
AlertRequest welcomeAlert();

// The alert for a failed command, with the error's description:
// "Open Gallery" (0), "Quit" (1) or "Cancel" (2), which Escape also answers.
AlertRequest errorAlert(const std::string& description);

}  // namespace lumivo
