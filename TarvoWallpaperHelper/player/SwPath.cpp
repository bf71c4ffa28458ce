#include "SwPath.hpp"

#include <stdexcept>

#include "MpvLibrary.hpp"

namespace lumivo {

mpv_render_context* SwPath::createContext(const MpvLibrary& api, mpv_handle* mpv) {
    char type[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, type},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* context = nullptr;
    if (const int rc = api.mpv_render_context_create(&context, mpv, params); rc < 0) {
        throw std::runtime_error(std::string("software rendering is unavailable: ") +
                                 api.mpv_error_string(rc));
    }
    return context;
}

void SwPath::setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs) {
    canvases_.clear();
    layout_ = layout;
    shown_ = outputs;
    for (const Canvas& canvas : layout_.canvases) {
        canvases_.push_back(outputs_.createFrameBuffer(canvas.width, canvas.height));
    }
    rendered_.assign(canvases_.size(), false);
}

void SwPath::draw(const MpvLibrary& api, mpv_render_context* context,
                  const std::vector<bool>& skip) {
    char format[] = "bgr0";  // B, G, R, X in memory: X11's and wl_shm's XRGB8888
    for (std::size_t c = 0; c < canvases_.size(); ++c) {
        bool wanted = false;
        for (std::size_t p = 0; p < layout_.placements.size(); ++p) {
            wanted =
                wanted || (layout_.placements[p].canvas == c && !skip[p] && shown_[p]->ready());
        }
        if (!wanted) {
            continue;  // nobody sees this canvas now: spare the scaling
        }
        FrameBuffer& buffer = *canvases_[c];
        if (!rendered_[c]) {
            int size[2] = {buffer.width(), buffer.height()};
            std::size_t stride = buffer.stride();
            mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                         {MPV_RENDER_PARAM_SW_FORMAT, format},
                                         {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                         {MPV_RENDER_PARAM_SW_POINTER, buffer.acquire()},
                                         {MPV_RENDER_PARAM_INVALID, nullptr}};
            if (const int rc = api.mpv_render_context_render(context, params); rc < 0) {
                throw std::runtime_error(std::string("mpv cannot render the video: ") +
                                         api.mpv_error_string(rc));
            }
            rendered_[c] = true;
        }
        for (std::size_t p = 0; p < layout_.placements.size(); ++p) {
            if (layout_.placements[p].canvas == c && !skip[p] && shown_[p]->ready()) {
                buffer.present(*shown_[p], layout_.placements[p].source);
            }
        }
    }
}

}  // namespace lumivo
