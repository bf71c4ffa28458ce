#include "RenderChoice.hpp"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "GlPath.hpp"
#include "SwPath.hpp"

namespace lumivo {
namespace {

bool isSoftwareRasteriser(std::string_view renderer) {
    return renderer.find("llvmpipe") != std::string_view::npos ||
           renderer.find("softpipe") != std::string_view::npos ||
           renderer.find("Software Rasterizer") != std::string_view::npos;
}

}  // namespace

std::unique_ptr<RenderPath> chooseRenderPath(Outputs& outputs, std::string& note) {
    static std::optional<bool> useGl;  // decided by the first start
    const char* forced = std::getenv("LUMIVO_RENDER");
    const std::string_view force = forced != nullptr ? forced : "";
    const bool firstTime = !useGl.has_value();
    if (force == "sw" || useGl == false) {
        if (firstTime) {
            useGl = false;
            note = "Rendering in software (LUMIVO_RENDER=sw)";
        }
        return std::make_unique<SwPath>(outputs);
    }
    if (force != "gl" && !outputs.mayOfferHardwareGl()) {
        if (firstTime) {
            note = "Rendering in software: the display offers no hardware OpenGL";
            useGl = false;
        }
        return std::make_unique<SwPath>(outputs);
    }
    try {
        auto gl = std::make_unique<GlPath>(outputs);
        if (force != "gl" && isSoftwareRasteriser(gl->renderer())) {
            if (firstTime) {
                note = "Rendering in software: OpenGL is a software rasteriser (" + gl->renderer() +
                       ")";
            }
            useGl = false;
            return std::make_unique<SwPath>(outputs);
        }
        if (firstTime) {
            note = "Rendering with OpenGL (" + gl->renderer() + ")";
        }
        useGl = true;
        return gl;
    } catch (const std::exception& error) {
        if (firstTime) {
            note = std::string("Rendering in software: no OpenGL context (") + error.what() + ")";
            useGl = false;
        }
        return std::make_unique<SwPath>(outputs);
    }
}

}  // namespace lumivo
