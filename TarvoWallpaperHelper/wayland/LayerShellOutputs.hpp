#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FrameOutputs.hpp"
#include "LayerSurface.hpp"
#include "WaylandDispatcher.hpp"
#include "WaylandOutput.hpp"

namespace lumivo {

// The wallpaper on Wayland compositors with wlr-layer-shell: one background
// surface per wl_output, over a connection of its own dispatched from the Qt
// event loop. Outputs that appear, change or go get their surfaces as soon as
// the compositor says so. When the compositor closes a surface or goes away,
// it logs one line and carries on with what is left (nothing, after a lost
// connection); it never throws after construction. GUI thread only.
class LayerShellOutputs : public QObject, public FrameOutputs {
    Q_OBJECT
  public:
    // Connects to `display` (as for wl_display_connect; nullopt for
    // WAYLAND_DISPLAY). Throws HelperError::noMainScreen() when no compositor
    // answers or it lacks layer-shell, wl_compositor or wl_shm.
    explicit LayerShellOutputs(const std::optional<std::string>& display = std::nullopt);
    ~LayerShellOutputs() override;

    std::vector<Output> outputs() const override;
    void present(const std::string& output, const SoftwareFrame& frame,
                 const FrameCrop& crop) override;

    bool connected() const { return dispatcher_ && !dispatcher_->isLost(); }

  private:
    struct Screen {
        std::unique_ptr<WaylandOutput> output;
        std::unique_ptr<LayerSurface> surface;
    };
    static const wl_registry_listener registryListener;
    void addGlobal(uint32_t name, const char* interface, uint32_t version);
    void removeGlobal(uint32_t name);
    void addOutput(uint32_t name, uint32_t version);
    void outputChanged(Screen& screen);
    void surfaceWantsFrame(uint32_t globalName);
    void surfaceClosed(uint32_t globalName);
    void connectionLost(const QString& reason);
    Screen* find(const std::string& name);
    void say(const std::string& line) const;
    void changed() const;

    // Released bottom up: surfaces first, the display last.
    WaylandDisplay display_;
    std::unique_ptr<WaylandDispatcher> dispatcher_;
    WaylandProxy<wl_registry> registry_;
    WaylandProxy<wl_compositor> compositor_;
    WaylandProxy<wl_shm> shm_;
    WaylandProxy<zwlr_layer_shell_v1> layerShell_;
    WaylandProxy<wp_viewporter> viewporter_;
    WaylandProxy<zxdg_output_manager_v1> xdgOutputs_;
    std::vector<Screen> screens_;
};

}  // namespace lumivo
