#pragma once

#include <memory>
#include <string>

#include "Outputs.hpp"
#include "RenderPath.hpp"

namespace lumivo {

// The render path for `outputs`: OpenGL through EGL on a hardware driver,
// software where OpenGL is a software rasteriser (llvmpipe, softpipe) or no
// context can be made. LUMIVO_RENDER=gl|sw forces one (tests, benchmarks).
// The decision is made once per process; `note` gets its log line the first
// time and stays empty afterwards.
std::unique_ptr<RenderPath> chooseRenderPath(Outputs& outputs, std::string& note);

}  // namespace lumivo
