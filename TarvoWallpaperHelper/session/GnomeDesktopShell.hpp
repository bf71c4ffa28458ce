#pragma once

#include <memory>

#include "GnomeShellIntegration.hpp"
#include "SessionOutputs.hpp"

namespace lumivo {

// The backend choice's view of GNOME Shell: the Shell runs, its wallpaper
// extension is enabled, and the surfaces go through GnomeOutputs. `shell`
// is kept alive by the hooks.
DesktopShell gnomeDesktopShell(std::shared_ptr<GnomeShellIntegration> shell);

}  // namespace lumivo
