#pragma once

#include <mpv/render.h>

#include <string>
#include <vector>

#include "Outputs.hpp"
#include "ScreenLayout.hpp"

namespace lumivo {

class MpvLibrary;

// How frames go from mpv to the outputs: OpenGL through EGL, or software into
// memory. Renders each frame once per canvas of the layout and shows each
// output its part. GUI thread only.
class RenderPath {
  public:
    virtual ~RenderPath() = default;
    // Short name for the log: "OpenGL (<renderer>)" or "software".
    virtual std::string name() const = 0;
    // The render context for `mpv`, made before the file loads; throws
    // HelperError::playbackFailed-style errors as std::runtime_error.
    virtual mpv_render_context* createContext(const MpvLibrary& api, mpv_handle* mpv) = 0;
    // Whether mpv should try the GPU's video decoders (mpv's hwdec): only
    // where a hardware OpenGL renderer takes their frames without a copy.
    // Elsewhere the probing finds nothing to use, costs time at every start,
    // and two decodes probing at once have been seen to corrupt the heap.
    virtual bool hardwareDecoding() const { return false; }
    // Called just before the render context is freed.
    virtual void releaseContext() {}
    // Lays the canvases out; `outputs[i]` shows `layout.placements[i]`.
    virtual void setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) = 0;
    // The video's display size, once known and whenever it changes.
    virtual void setVideoSize(int /*width*/, int /*height*/) {}
    // mpv has a new frame: the next draw renders it. Draws in between show
    // the picture already rendered where the path still holds it (an output
    // that was not ready for it, an exposed window) without rendering again.
    virtual void newFrame() {}
    // Renders the current frame and shows it on every output whose `skip`
    // entry (parallel to the placements) is false. Throws std::exception
    // saying why when mpv cannot render or the display cannot show the
    // picture; the outputs may then show an older picture.
    virtual void draw(const MpvLibrary& api, mpv_render_context* context,
                      const std::vector<bool>& skip) = 0;
};

}  // namespace lumivo
