#include "HelperAlerts.hpp"

#include "HelperConstants.hpp"

namespace lumivo {

AlertRequest welcomeAlert() {
    return AlertRequest{
        std::string(HelperConstants::appName) + " is running",
        "Look for the Lumivo Helper icon in the menu bar. Return to the gallery and click "
        "Apply to Mac on any wallpaper.",
        AlertRequest::Style::informational,
        {"Open Gallery", "OK"},
        1,
    };
}

bool welcomeOpensGallery(SettingsStoring& settings, Alerting& alerts) {
    constexpr const char* key = "hasShownWelcome";
    if (settings.flag(key)) {
        return false;
    }
    settings.setFlag(key, true);
    return alerts.run(welcomeAlert()) == 0;
}

AlertRequest errorAlert(const std::string& description) {
    return AlertRequest{
        std::string(HelperConstants::appName), description, AlertRequest::Style::warning,
        {"Open Gallery", "Quit", "Cancel"},    2,
    };
}

AlertRequest noticeAlert(const std::string& text) {
    return AlertRequest{
        std::string(HelperConstants::appName), text, AlertRequest::Style::informational, {"OK"}, 0,
    };
}

}  // namespace lumivo
