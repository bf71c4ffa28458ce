#pragma once

#include <memory>

#include "GnomeShellIntegration.hpp"
#include "ShellIntegrating.hpp"

namespace lumivo {

// "Enable GNOME Integration" on GNOME Shell: offered while the Shell runs and
// the wallpaper extension is installed (known to the Shell, or on disk since
// a login) but off. GUI thread only.
class GnomeIntegrationSwitch : public ShellIntegrating {
  public:
    explicit GnomeIntegrationSwitch(std::shared_ptr<GnomeShellIntegration> shell);

    bool offersEnabling() const override;
    void enable(std::function<void(std::optional<std::string>)> done) override;
    void onChanged(std::function<void()> changed) override;

  private:
    std::shared_ptr<GnomeShellIntegration> shell_;
};

}  // namespace lumivo
