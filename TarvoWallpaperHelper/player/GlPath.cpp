#include "GlPath.hpp"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "MpvLibrary.hpp"
#include "RenderDecision.hpp"

namespace lumivo {

// The GL functions the path calls itself, resolved through EGL so that no GL
// library is linked (mpv resolves its own the same way).
struct GlPath::Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface pbuffer = EGL_NO_SURFACE;  // only without surfaceless contexts
    bool x11 = false;
    void* nativeDisplay = nullptr;

    const GLubyte* (*getString)(GLenum) = nullptr;
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
};

namespace {

// The paths using each EGL display: one per decode, and they share the
// display of their backend. eglTerminate would end the others' contexts and
// surfaces too, so only the last one to go terminates it. GUI thread only.
std::map<EGLDisplay, int>& displayUsers() {
    static std::map<EGLDisplay, int> users;
    return users;
}

template <typename F>
void resolve(F& function, const char* name) {
    function = reinterpret_cast<F>(eglGetProcAddress(name));
    if (function == nullptr) {
        throw std::runtime_error(std::string("OpenGL lacks ") + name);
    }
}

void* procAddress(void*, const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

// EGL's last error on this thread, for a message.
std::string eglErrorName() {
    switch (const EGLint error = eglGetError()) {
        case EGL_BAD_ALLOC:
            return "EGL_BAD_ALLOC";
        case EGL_BAD_CURRENT_SURFACE:
            return "EGL_BAD_CURRENT_SURFACE";
        case EGL_BAD_DISPLAY:
            return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH:
            return "EGL_BAD_MATCH";
        case EGL_BAD_NATIVE_WINDOW:
            return "EGL_BAD_NATIVE_WINDOW";
        case EGL_BAD_SURFACE:
            return "EGL_BAD_SURFACE";
        case EGL_CONTEXT_LOST:
            return "EGL_CONTEXT_LOST";
        case EGL_NOT_INITIALIZED:
            return "EGL_NOT_INITIALIZED";
        default: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(error));
            return std::string("EGL error ") + hex;
        }
    }
}

}  // namespace

GlPath::GlPath(Outputs& outputs) : outputs_(outputs), egl_(std::make_unique<Egl>()) {
    const EglNativeDisplay native = outputs_.eglDisplay();
    Egl& e = *egl_;
    e.x11 = native.platform == EGL_PLATFORM_X11_KHR;
    e.nativeDisplay = native.display;
    e.display = eglGetPlatformDisplay(native.platform, native.display, nullptr);
    if (e.display == EGL_NO_DISPLAY || eglInitialize(e.display, nullptr, nullptr) != EGL_TRUE) {
        e.display = EGL_NO_DISPLAY;
        throw std::runtime_error("EGL cannot use the display");
    }
    ++displayUsers()[e.display];
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        throw std::runtime_error("EGL offers no OpenGL");
    }
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    if (eglChooseConfig(e.display, wanted, configs, 64, &count) != EGL_TRUE) {
        throw std::runtime_error("EGL cannot list its configurations (" + eglErrorName() + ")");
    }
    for (EGLint i = 0; i < count && e.config == nullptr; ++i) {
        EGLint visual = 0;
        eglGetConfigAttrib(e.display, configs[i], EGL_NATIVE_VISUAL_ID, &visual);
        if (native.visualId == 0 || static_cast<std::uint32_t>(visual) == native.visualId) {
            e.config = configs[i];
        }
    }
    if (e.config == nullptr) {
        throw std::runtime_error("EGL has no configuration for the windows");
    }
    e.context = eglCreateContext(e.display, e.config, EGL_NO_CONTEXT, nullptr);
    if (e.context == EGL_NO_CONTEXT) {
        throw std::runtime_error("EGL cannot create an OpenGL context");
    }
    const char* extensions = eglQueryString(e.display, EGL_EXTENSIONS);
    if (extensions == nullptr ||
        std::string_view(extensions).find("EGL_KHR_surfaceless_context") == std::string::npos) {
        const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        e.pbuffer = eglCreatePbufferSurface(e.display, e.config, size);
    }
    makeCurrent(nullptr);
    resolve(e.getString, "glGetString");
    resolve(e.genFramebuffers, "glGenFramebuffers");
    resolve(e.deleteFramebuffers, "glDeleteFramebuffers");
    resolve(e.bindFramebuffer, "glBindFramebuffer");
    resolve(e.genRenderbuffers, "glGenRenderbuffers");
    resolve(e.deleteRenderbuffers, "glDeleteRenderbuffers");
    resolve(e.bindRenderbuffer, "glBindRenderbuffer");
    resolve(e.renderbufferStorage, "glRenderbufferStorage");
    resolve(e.framebufferRenderbuffer, "glFramebufferRenderbuffer");
    resolve(e.blitFramebuffer, "glBlitFramebuffer");
    const GLubyte* renderer = e.getString(GL_RENDERER);
    renderer_ = renderer != nullptr ? reinterpret_cast<const char*>(renderer) : "unknown";
}

bool GlPath::hardwareDecoding() const {
    return !RenderDecision::isSoftwareRasteriser(renderer_);
}

GlPath::~GlPath() {
    Egl& e = *egl_;
    if (e.display == EGL_NO_DISPLAY) {
        return;
    }
    // Best effort: the display may be gone already.
    if (e.context != EGL_NO_CONTEXT && tryMakeCurrent(nullptr)) {
        clearLayout();
    }
    eglMakeCurrent(e.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (e.pbuffer != EGL_NO_SURFACE) {
        eglDestroySurface(e.display, e.pbuffer);
    }
    if (e.context != EGL_NO_CONTEXT) {
        eglDestroyContext(e.display, e.context);
    }
    if (--displayUsers()[e.display] <= 0) {
        displayUsers().erase(e.display);
        eglTerminate(e.display);
        eglReleaseThread();
    }
}

bool GlPath::tryMakeCurrent(void* surface) {
    Egl& e = *egl_;
    EGLSurface s = surface != nullptr ? static_cast<EGLSurface>(surface) : e.pbuffer;
    return eglMakeCurrent(e.display, s, s, e.context) == EGL_TRUE;
}

void GlPath::makeCurrent(void* surface) {
    if (!tryMakeCurrent(surface)) {
        throw std::runtime_error("EGL cannot make the OpenGL context current");
    }
}

mpv_render_context* GlPath::createContext(const MpvLibrary& api, mpv_handle* mpv) {
    makeCurrent(nullptr);
    char type[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_opengl_init_params init{&procAddress, nullptr};
    int advanced = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, type},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
        // Lets mpv's hardware decoders hand frames to GL without a copy.
        {egl_->x11 ? MPV_RENDER_PARAM_X11_DISPLAY : MPV_RENDER_PARAM_WL_DISPLAY,
         egl_->nativeDisplay},
        {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* context = nullptr;
    if (const int rc = api.mpv_render_context_create(&context, mpv, params); rc < 0) {
        throw std::runtime_error(std::string("OpenGL rendering is unavailable: ") +
                                 api.mpv_error_string(rc));
    }
    return context;
}

void GlPath::releaseContext() {
    tryMakeCurrent(nullptr);  // mpv deletes its GL objects in our context
}

void GlPath::deleteFramebuffers() {
    Egl& e = *egl_;
    if (!framebuffers_.empty()) {
        e.deleteFramebuffers(static_cast<GLsizei>(framebuffers_.size()), framebuffers_.data());
        e.deleteRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
    }
    framebuffers_.clear();
    renderbuffers_.clear();
    rendered_.clear();
}

void GlPath::createFramebuffers(const std::vector<Canvas>& sizes) {
    Egl& e = *egl_;
    makeCurrent(nullptr);
    deleteFramebuffers();
    framebuffers_.resize(sizes.size());
    renderbuffers_.resize(sizes.size());
    rendered_.assign(sizes.size(), false);
    e.genFramebuffers(static_cast<GLsizei>(framebuffers_.size()), framebuffers_.data());
    e.genRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
    for (std::size_t c = 0; c < framebuffers_.size(); ++c) {
        e.bindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[c]);
        e.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, sizes[c].width, sizes[c].height);
        e.bindFramebuffer(GL_FRAMEBUFFER, framebuffers_[c]);
        e.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffers_[c]);
    }
    e.bindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlPath::clearLayout() {
    Egl& e = *egl_;
    deleteFramebuffers();
    for (void* surface : surfaces_) {
        eglDestroySurface(e.display, static_cast<EGLSurface>(surface));
    }
    surfaces_.clear();
    shown_.clear();
    layout_ = {};
    scaled_ = false;
}

void GlPath::setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) {
    Egl& e = *egl_;
    makeCurrent(nullptr);
    clearLayout();
    for (Output* output : outputs) {
        EGLSurface surface =
            eglCreatePlatformWindowSurface(e.display, e.config, output->eglNativeWindow(), nullptr);
        if (surface == EGL_NO_SURFACE) {
            clearLayout();
            throw std::runtime_error("EGL cannot draw into the wallpaper window");
        }
        surfaces_.push_back(surface);
        makeCurrent(surface);
        eglSwapInterval(e.display, 0);
    }
    layout_ = layout;
    shown_ = outputs;
    // mpv renders best at one size per frame: several canvas sizes are cut
    // from one picture of the whole video instead.
    scaled_ = layout.canvases.size() > 1;
    if (scaled_) {
        setVideoSize(video_.width, video_.height);
    } else if (outputs.size() > 1) {
        createFramebuffers(layout.canvases);
    }
}

void GlPath::setVideoSize(int width, int height) {
    video_ = {width, height};
    if (!scaled_ || width <= 0 || height <= 0) {
        return;
    }
    // The whole video at the scale of the monitor that needs the most, so
    // that every crop is scaled down, never up.
    double scale = 0;
    for (const Canvas& c : layout_.canvases) {
        scale = std::max(
            {scale, static_cast<double>(c.width) / width, static_cast<double>(c.height) / height});
    }
    canvas_ = {static_cast<int>(width * scale + 0.5), static_cast<int>(height * scale + 0.5)};
    createFramebuffers({canvas_});
}

void GlPath::renderInto(const MpvLibrary& api, mpv_render_context* context, unsigned framebuffer,
                        const Canvas& size) {
    int flip = 1;  // both the windows and our framebuffers count rows bottom up
    mpv_opengl_fbo target{static_cast<int>(framebuffer), size.width, size.height, 0};
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (const int rc = api.mpv_render_context_render(context, params); rc < 0) {
        throw std::runtime_error(std::string("mpv cannot render the video: ") +
                                 api.mpv_error_string(rc));
    }
}

void GlPath::swap(std::size_t placement) {
    shown_[placement]->willSwap();
    if (eglSwapBuffers(egl_->display, static_cast<EGLSurface>(surfaces_[placement])) != EGL_TRUE) {
        throw std::runtime_error("EGL cannot show the picture (" + eglErrorName() + ")");
    }
}

void GlPath::draw(const MpvLibrary& api, mpv_render_context* context,
                  const std::vector<bool>& skip) {
    // EGL drivers may spin for a long time on a display connection that
    // broke (Mesa's software rasteriser on X11 does): none is asked to.
    if (!outputs_.connected()) {
        throw std::runtime_error("the display connection is lost");
    }
    Egl& e = *egl_;
    auto visible = [&](std::size_t p) { return !skip[p] && shown_[p]->ready(); };
    if (surfaces_.size() == 1) {
        // One output: straight into its window.
        if (!visible(0)) {
            return;
        }
        makeCurrent(surfaces_[0]);
        renderInto(api, context, 0, layout_.canvases[0]);
        swap(0);
        return;
    }
    for (std::size_t c = 0; c < framebuffers_.size(); ++c) {
        bool wanted = false;
        for (std::size_t p = 0; p < layout_.placements.size(); ++p) {
            wanted = wanted || ((scaled_ || layout_.placements[p].canvas == c) && visible(p));
        }
        if (!wanted) {
            continue;  // nobody sees this canvas now: spare the rendering
        }
        const Canvas canvas = scaled_ ? canvas_ : layout_.canvases[c];
        if (!rendered_[c]) {
            makeCurrent(nullptr);
            renderInto(api, context, framebuffers_[c], canvas);
            rendered_[c] = true;
        }
        for (std::size_t p = 0; p < layout_.placements.size(); ++p) {
            const Placement& placement = layout_.placements[p];
            if ((!scaled_ && placement.canvas != c) || !visible(p)) {
                continue;
            }
            const Rect& out = placement.source;
            const Rect s =
                scaled_ ? aspectFillCrop(canvas.width, canvas.height, out.width, out.height) : out;
            makeCurrent(surfaces_[p]);
            // Rows count from the bottom in GL.
            const int bottom = canvas.height - s.y - s.height;
            e.bindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers_[c]);
            e.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            e.blitFramebuffer(s.x, bottom, s.x + s.width, bottom + s.height, 0, 0, out.width,
                              out.height, GL_COLOR_BUFFER_BIT, scaled_ ? GL_LINEAR : GL_NEAREST);
            e.bindFramebuffer(GL_FRAMEBUFFER, 0);
            swap(p);
        }
    }
}

}  // namespace lumivo
