#include "PlasmaOutput.hpp"

namespace lumivo {

PlasmaOutput::PlasmaOutput(Monitor monitor, long long desktop, std::shared_ptr<FrameServer> server)
    : monitor_(std::move(monitor)), desktop_(desktop), server_(std::move(server)) {}

}  // namespace lumivo
