#pragma once

#include <memory>
#include <optional>
#include <string>

#include "RenderDecision.hpp"

namespace lumivo {

class Outputs;
class RenderPath;

// The render path decision of one player: made at its first start (see
// RenderDecision), logged then, and kept for its later starts. A later start
// that cannot have OpenGL any more draws in software from then on, and says
// so once. LUMIVO_RENDER=gl|sw forces a path (tests, benchmarks).
class RenderChoice {
  public:
    // The path for a start on `outputs`. `note` gets the line to log when the
    // decision is made or changes, and is left empty otherwise.
    std::unique_ptr<RenderPath> choose(Outputs& outputs, std::string& note);

  private:
    std::optional<RenderKind> decided_;
};

}  // namespace lumivo
