#include "GnomeIntegrationSwitch.hpp"

namespace lumivo {

GnomeIntegrationSwitch::GnomeIntegrationSwitch(std::shared_ptr<GnomeShellIntegration> shell)
    : shell_(std::move(shell)) {}

bool GnomeIntegrationSwitch::offersEnabling() const {
    switch (shell_->status()) {
        case ExtensionStatus::disabled:
            return shell_->shellRunning();
        case ExtensionStatus::absent:
            return shell_->shellRunning() && GnomeShellIntegration::installed();
        case ExtensionStatus::enabled:
        case ExtensionStatus::failed:
            return false;
    }
    return false;
}

void GnomeIntegrationSwitch::enable(std::function<void(std::optional<std::string>)> done) {
    shell_->enable(std::move(done));
}

void GnomeIntegrationSwitch::onChanged(std::function<void()> changed) {
    QObject::connect(shell_.get(), &GnomeShellIntegration::statusChanged, shell_.get(),
                     std::move(changed));
}

}  // namespace lumivo
