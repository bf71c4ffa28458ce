#include "GnomeDesktopShell.hpp"

#include "GnomeOutputs.hpp"

namespace lumivo {

DesktopShell gnomeDesktopShell(std::shared_ptr<GnomeShellIntegration> shell) {
    return DesktopShell{
        [shell] { return shell->shellRunning(); },
        [shell] { return shell->status() == ExtensionStatus::enabled; },
        [shell](std::unique_ptr<Outputs> inner) -> std::unique_ptr<Outputs> {
            return std::make_unique<GnomeOutputs>(std::move(inner), *shell);
        },
    };
}

}  // namespace lumivo
