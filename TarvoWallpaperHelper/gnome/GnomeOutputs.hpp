#pragma once

#include <memory>
#include <vector>

#include "GnomeShellIntegration.hpp"
#include "Outputs.hpp"

namespace lumivo {

// The wallpaper through GNOME Shell's extension: the surfaces of `inner`
// (toplevels on Wayland, desktop windows on X11), which the extension shows
// in the Shell's backgrounds, and hidden where the extension reports a
// monitor as covered (or `inner` finds it hidden). Everything else is
// `inner`'s. GUI thread only; `shell` must outlive it.
class GnomeOutputs : public Outputs {
    Q_OBJECT
  public:
    GnomeOutputs(std::unique_ptr<Outputs> inner, const GnomeShellIntegration& shell);

    std::vector<Monitor> monitors() const override { return inner_->monitors(); }
    std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) override;
    std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) override {
        return inner_->createFrameBuffer(width, height);
    }
    EglNativeDisplay eglDisplay() const override { return inner_->eglDisplay(); }
    bool mayOfferHardwareGl() const override { return inner_->mayOfferHardwareGl(); }
    bool connected() const override { return inner_->connected(); }
    std::vector<bool> hidden() const override;
    // The monitor the extension says the Shell works on, else `inner`'s.
    std::optional<std::string> focusedMonitor() const override;

  private:
    std::unique_ptr<Outputs> inner_;
    const GnomeShellIntegration& shell_;
    std::vector<Monitor> shown_;  // of the last showOn
};

}  // namespace lumivo
