#pragma once

#include <memory>

#include "RenderPath.hpp"

namespace lumivo {

// Software rendering: mpv scales each frame once per canvas into memory the
// display server shares (MIT-SHM, wl_shm); each output shows its slice of it.
// The cheapest path where OpenGL is itself software (llvmpipe).
class SwPath : public RenderPath {
  public:
    explicit SwPath(Outputs& outputs) : outputs_(outputs) {}

    std::string name() const override { return "software"; }
    mpv_render_context* createContext(const MpvLibrary& api, mpv_handle* mpv) override;
    void setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) override;
    void newFrame() override { rendered_.assign(rendered_.size(), false); }
    void draw(const MpvLibrary& api, mpv_render_context* context,
              const std::vector<bool>& skip) override;

  private:
    Outputs& outputs_;
    ScreenLayout layout_;
    std::vector<Output*> shown_;
    std::vector<std::unique_ptr<FrameBuffer>> canvases_;
    std::vector<bool> rendered_;  // per canvas: it holds mpv's current frame
};

}  // namespace lumivo
