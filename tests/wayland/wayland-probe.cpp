// Prints what the compositor of WAYLAND_DISPLAY offers, one fact per line,
// and the backend the helper would choose. Exit 1 when no compositor answers.
#include <cstdlib>
#include <iostream>

#include "BackendChoice.hpp"
#include "HelperError.hpp"
#include "WaylandSessionProbe.hpp"

int main() {
    using namespace lumivo;
    auto info = WaylandSessionProbe::probe();
    SessionOffer offer;
    offer.waylandDisplaySet = std::getenv("WAYLAND_DISPLAY") != nullptr;
    offer.waylandConnected = info.has_value();
    offer.layerShell = info && info->layerShell;
    offer.x11DisplaySet = std::getenv("DISPLAY") != nullptr;
    try {
        auto choice = BackendChoice::from(offer);
        std::cout << "backend "
                  << (choice.backend == BackendChoice::Backend::layerShell ? "layer-shell" : "x11")
                  << "\n";
        if (choice.logLine) {
            std::cout << "log " << *choice.logLine << "\n";
        }
    } catch (const HelperError& error) {
        std::cout << "backend none: " << error.what() << "\n";
    }
    if (!info) {
        return 1;
    }
    std::cout << "layer-shell " << info->layerShell << "\nforeign-toplevel "
              << info->foreignToplevel << "\nviewporter " << info->viewporter << "\nshm "
              << info->shm << "\nxdg-output " << info->xdgOutput << "\n";
    for (const auto& o : info->outputs) {
        std::cout << "output " << o.name << " " << o.logicalWidth << "x" << o.logicalHeight << "+"
                  << o.x << "+" << o.y << " mode " << o.modeWidth << "x" << o.modeHeight
                  << " scale " << o.scale << "\n";
    }
    return 0;
}
