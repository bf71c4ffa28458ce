#include "RenderDecision.hpp"

#include <string_view>

namespace lumivo {
namespace {

// The path with its log line, which only a new or changed decision keeps.
RenderDecision decided(RenderKind kind, const RenderFacts& facts, std::string note) {
    if (facts.earlier == kind) {
        note.clear();
    } else if (!facts.forced.empty() && facts.forced != "gl" && facts.forced != "sw") {
        note += " (LUMIVO_RENDER=" + facts.forced + " is neither gl nor sw, so it is ignored)";
    }
    return {
        kind == RenderKind::openGl ? RenderDecision::Path::openGl : RenderDecision::Path::software,
        std::move(note)};
}

}  // namespace

bool RenderDecision::isSoftwareRasteriser(std::string_view renderer) {
    return renderer.find("llvmpipe") != std::string_view::npos ||
           renderer.find("softpipe") != std::string_view::npos ||
           renderer.find("Software Rasterizer") != std::string_view::npos;
}

RenderDecision RenderDecision::from(const RenderFacts& facts) {
    const bool forcedGl = facts.forced == "gl";
    if (facts.earlier == RenderKind::software) {
        return decided(RenderKind::software, facts, {});
    }
    if (facts.forced == "sw") {
        return decided(RenderKind::software, facts, "Rendering in software (LUMIVO_RENDER=sw)");
    }
    if (!forcedGl && !facts.mayOfferHardwareGl) {
        return decided(RenderKind::software, facts,
                       "Rendering in software: the display offers no hardware OpenGL");
    }
    if (!facts.gl) {
        return {Path::tryOpenGl, {}};
    }
    const GlTrial& gl = *facts.gl;
    if (!gl.made) {
        return decided(RenderKind::software, facts,
                       "Rendering in software: no OpenGL context (" + gl.detail + ")");
    }
    if (!forcedGl && isSoftwareRasteriser(gl.detail)) {
        return decided(
            RenderKind::software, facts,
            "Rendering in software: OpenGL is a software rasteriser (" + gl.detail + ")");
    }
    return decided(RenderKind::openGl, facts, "Rendering with OpenGL (" + gl.detail + ")");
}

}  // namespace lumivo
