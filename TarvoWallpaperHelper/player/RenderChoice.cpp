#include "RenderChoice.hpp"

#include <cstdlib>

#include "GlPath.hpp"
#include "Outputs.hpp"
#include "SwPath.hpp"

namespace lumivo {

std::unique_ptr<RenderPath> RenderChoice::choose(Outputs& outputs, std::string& note) {
    const char* forced = std::getenv("LUMIVO_RENDER");
    RenderFacts facts{forced != nullptr ? forced : "", outputs.mayOfferHardwareGl(), decided_, {}};
    RenderDecision decision = RenderDecision::from(facts);
    std::unique_ptr<GlPath> gl;
    if (decision.path == RenderDecision::Path::tryOpenGl) {
        try {
            gl = std::make_unique<GlPath>(outputs);
            facts.gl = GlTrial{true, gl->renderer()};
        } catch (const std::exception& error) {
            facts.gl = GlTrial{false, error.what()};
        }
        decision = RenderDecision::from(facts);
    }
    note = decision.note;
    if (decision.path == RenderDecision::Path::openGl) {
        decided_ = RenderKind::openGl;
        return gl;
    }
    decided_ = RenderKind::software;
    return std::make_unique<SwPath>(outputs);
}

}  // namespace lumivo
