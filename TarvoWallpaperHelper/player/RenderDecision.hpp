#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumivo {

// The two ways frames reach the screen (see GlPath and SwPath).
enum class RenderKind { openGl, software };

// What making an OpenGL context on the backend's display gave: its renderer
// (GL_RENDERER), or why there is none.
struct GlTrial {
    bool made = false;
    std::string detail;  // the renderer when made, else the reason
};

// What the render path of a start depends on.
struct RenderFacts {
    std::string forced;                 // LUMIVO_RENDER: "gl", "sw"; empty when unset
    bool mayOfferHardwareGl = false;    // the backend's Outputs::mayOfferHardwareGl()
    std::optional<RenderKind> earlier;  // the player's decision at an earlier start
    std::optional<GlTrial> gl;          // once OpenGL has been tried for this start
};

// One step of choosing a render path, with the line to log about it. Pure:
// decides from the facts alone, so that the table can be tested without a
// display.
struct RenderDecision {
    enum class Path { openGl, software, tryOpenGl };
    Path path;
    // Set when the decision is new or differs from the earlier one; empty
    // when the earlier decision stands (it was logged then).
    std::string note;

    // Software once software was decided (it stays), or when LUMIVO_RENDER=sw,
    // or when the backend cannot lead to hardware OpenGL and LUMIVO_RENDER is
    // not gl. Otherwise OpenGL has to be tried (tryOpenGl, only while
    // `facts.gl` is empty): it is used when a context was made and either
    // LUMIVO_RENDER=gl or the renderer is not a software rasteriser
    // (llvmpipe, softpipe, "Software Rasterizer"); else software. Any other
    // LUMIVO_RENDER value counts as unset, and the note says so.
    static RenderDecision from(const RenderFacts& facts);

    // Whether an OpenGL renderer (GL_RENDERER) draws on the CPU: llvmpipe,
    // softpipe, "Software Rasterizer".
    static bool isSoftwareRasteriser(std::string_view renderer);
};

}  // namespace lumivo
