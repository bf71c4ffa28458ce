#include "ShellIntegrationItem.hpp"

#include <optional>
#include <utility>

namespace lumivo {

ShellIntegrationItem::ShellIntegrationItem(std::unique_ptr<ShellIntegrating> integration,
                                           TrayMenu& menu, Say log, Say notice)
    : integration_(std::move(integration)),
      menu_(menu),
      log_(std::move(log)),
      notice_(std::move(notice)) {}

void ShellIntegrationItem::follow() {
    if (integration_) {
        integration_->onChanged([this] { offer(); });
        offer();
    }
}

void ShellIntegrationItem::enable() {
    if (!integration_) {
        return;
    }
    integration_->enable([this](const std::optional<std::string>& problem) {
        if (!problem) {
            return log_("GNOME integration enabled");
        }
        log_(*problem);
        notice_(*problem);
    });
}

void ShellIntegrationItem::offer() {
    menu_.offerGnomeIntegration(integration_->offersEnabling());
    menu_.update();
}

}  // namespace lumivo
