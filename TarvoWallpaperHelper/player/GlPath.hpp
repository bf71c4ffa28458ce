#pragma once

#include <memory>
#include <string>
#include <vector>

#include "RenderPath.hpp"

namespace lumivo {

// OpenGL rendering through EGL on the backend's own display connection. One
// output: mpv renders straight into its window. Several sharing one canvas
// (span, or monitors of one size): mpv renders each frame once into a
// framebuffer and each window gets its part copied with glBlitFramebuffer.
// Monitors of different sizes: mpv renders the whole video once and each
// window gets its aspect-fill crop scaled by the blit. Every window swaps with
// interval 0, so N windows never wait for N vertical blanks in turn.
class GlPath : public RenderPath {
  public:
    // Makes an EGL display and OpenGL context; throws std::runtime_error
    // saying why when there is none.
    explicit GlPath(Outputs& outputs);
    ~GlPath() override;

    GlPath(const GlPath&) = delete;
    GlPath& operator=(const GlPath&) = delete;

    // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    const std::string& renderer() const { return renderer_; }

    std::string name() const override { return "OpenGL (" + renderer_ + ")"; }
    bool hardwareDecoding() const override;
    mpv_render_context* createContext(const MpvLibrary& api, mpv_handle* mpv) override;
    void releaseContext() override;
    void setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) override;
    void setVideoSize(int width, int height) override;
    void draw(const MpvLibrary& api, mpv_render_context* context,
              const std::vector<bool>& skip) override;
    void newFrame() override { rendered_.assign(rendered_.size(), false); }

  private:
    struct Egl;

    bool tryMakeCurrent(void* surface);
    void makeCurrent(void* surface);  // throws std::runtime_error
    void clearLayout();
    void deleteFramebuffers();
    void createFramebuffers(const std::vector<Canvas>& sizes);
    // Both throw std::runtime_error saying what failed.
    void renderInto(const MpvLibrary& api, mpv_render_context* context, unsigned framebuffer,
                    const Canvas& size);
    void swap(std::size_t placement);

    Outputs& outputs_;
    std::unique_ptr<Egl> egl_;
    std::string renderer_;
    ScreenLayout layout_;
    std::vector<Output*> shown_;
    std::vector<void*> surfaces_;         // EGLSurface per placement
    std::vector<unsigned> framebuffers_;  // per canvas, when drawing through them
    std::vector<unsigned> renderbuffers_;
    std::vector<bool> rendered_;  // per framebuffer: it holds mpv's current frame
    bool scaled_ = false;         // monitors of several sizes: one whole-video canvas
    Canvas video_;                // the video's display size
    Canvas canvas_;               // the whole video, scaled for the largest monitor
};

}  // namespace lumivo
