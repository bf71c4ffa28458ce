#include "PlasmaOutput.hpp"

#include <stdexcept>

namespace lumivo {

PlasmaOutput::PlasmaOutput(Monitor monitor, long long desktop, std::shared_ptr<FrameServer> server)
    : monitor_(std::move(monitor)), desktop_(desktop), server_(std::move(server)) {}

void PlasmaOutput::present(FrameBuffer& buffer, const Rect& source) {
    auto* ring = dynamic_cast<FrameRing*>(&buffer);
    if (ring == nullptr) {
        throw std::logic_error("a Plasma desktop was given a frame buffer of another backend");
    }
    server_->show(desktop_, *ring, source);
}

}  // namespace lumivo
