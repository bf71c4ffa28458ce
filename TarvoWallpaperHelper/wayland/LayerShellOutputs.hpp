#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ForeignToplevels.hpp"
#include "LayerShellOutput.hpp"
#include "Outputs.hpp"
#include "WaylandDispatcher.hpp"
#include "WaylandOutput.hpp"

namespace lumivo {

// Where the wallpaper's surfaces go: on the compositor's background layer
// (wlr-layer-shell), on its bottom layer (KWin without the Plasma package),
// or as toplevels that the Shell's extension shows in its own background
// (GNOME).
enum class WallpaperSurfaces { backgroundLayer, bottomLayer, shellToplevels };

// The Wayland backend for compositors with wlr-layer-shell: the wl_outputs as
// monitors (in the compositor's logical layout, sized in pixels) and a
// background surface on each one shown on, over a connection of its own that
// the Qt event loop dispatches. Reports outputs that come, go or change as
// soon as the compositor does. A closed surface or a lost connection gives
// one lost() and a defined state (no monitors after a lost connection); it
// never throws after construction. GUI thread only.
class LayerShellOutputs : public Outputs {
    Q_OBJECT
  public:
    // Connects to `display` (as for wl_display_connect; nullopt for
    // WAYLAND_DISPLAY). `mainOutput` names the output reported as primary
    // (none: the layout's first). Throws HelperError::noMainScreen() when no
    // compositor answers or it lacks layer-shell (xdg_wm_base for
    // shellToplevels), wl_compositor or wl_shm.
    explicit LayerShellOutputs(const std::optional<std::string>& display = std::nullopt,
                               std::string mainOutput = {},
                               WallpaperSurfaces surfaces = WallpaperSurfaces::backgroundLayer);
    ~LayerShellOutputs() override;

    std::vector<Monitor> monitors() const override;
    std::vector<Output*> showOn(const std::vector<std::size_t>& monitors) override;
    // A surface is hidden while the frame it asked for has not come for a
    // second (compositors call back only for what can be seen), or while the
    // focused window is fullscreen or maximised on its output, where the
    // compositor lists its windows.
    std::vector<bool> hidden() const override;
    std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) override;
    EglNativeDisplay eglDisplay() const override;
    // Whether the compositor takes GPU buffers (linux-dmabuf or wl_drm).
    bool mayOfferHardwareGl() const override { return gpuBuffers_; }
    bool connected() const override;

  private:
    struct Shown {
        uint32_t global;  // the wl_output's registry name
        std::unique_ptr<LayerShellOutput> output;
    };
    static const wl_registry_listener registryListener;
    static const xdg_wm_base_listener wmBaseListener;
    void addGlobal(uint32_t name, const char* interface, uint32_t version);
    void removeGlobal(uint32_t name);
    void outputDescribed(uint32_t global);
    void connectionLost(const QString& reason);
    std::optional<Monitor> monitorOf(const WaylandOutput& output) const;
    WaylandOutput* find(uint32_t global) const;
    void reportMonitors();

    std::string mainOutput_;
    WallpaperSurfaces surfaces_;
    std::vector<Monitor> reported_;  // as monitorsChanged last told
    bool gpuBuffers_ = false;
    // Released bottom up: surfaces first, the display last (frame buffers
    // the renderer still holds keep it open).
    std::shared_ptr<WaylandDisplay> display_;
    std::unique_ptr<WaylandDispatcher> dispatcher_;
    WaylandProxy<wl_registry> registry_;
    WaylandProxy<wl_compositor> compositor_;
    WaylandProxy<wl_shm> shm_;
    WaylandProxy<zwlr_layer_shell_v1> layerShell_;
    WaylandProxy<xdg_wm_base> wmBase_;
    WaylandProxy<wp_viewporter> viewporter_;
    WaylandProxy<zxdg_output_manager_v1> xdgOutputs_;
    std::unique_ptr<ForeignToplevels> toplevels_;          // where offered
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;  // in the registry's order
    std::vector<Shown> shown_;
    std::vector<std::unique_ptr<LayerShellOutput>> retired_;  // valid until the next showOn
};

}  // namespace lumivo
