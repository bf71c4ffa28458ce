#include "GnomeOutputs.hpp"

namespace lumivo {

GnomeOutputs::GnomeOutputs(std::unique_ptr<Outputs> inner, const GnomeShellIntegration& shell)
    : inner_(std::move(inner)), shell_(shell) {
    connect(inner_.get(), &Outputs::monitorsChanged, this, &Outputs::monitorsChanged);
    connect(inner_.get(), &Outputs::redrawNeeded, this, &Outputs::redrawNeeded);
    connect(inner_.get(), &Outputs::lost, this, &Outputs::lost);
    connect(inner_.get(), &Outputs::hiddenChanged, this, &Outputs::hiddenChanged);
    connect(&shell_, &GnomeShellIntegration::monitorsChanged, this, &Outputs::hiddenChanged);
}

std::vector<Output*> GnomeOutputs::showOn(const std::vector<std::size_t>& indices) {
    std::vector<Output*> outputs = inner_->showOn(indices);
    shown_.clear();
    for (const Output* output : outputs) {
        shown_.push_back(output->monitor());
    }
    return outputs;
}

std::vector<bool> GnomeOutputs::hidden() const {
    std::vector<bool> flags = coveredByShell(shown_, shell_.monitors());
    const std::vector<bool> own = inner_->hidden();
    for (std::size_t i = 0; i < own.size() && i < flags.size(); ++i) {
        flags[i] = flags[i] || own[i];
    }
    return flags;
}

std::optional<std::string> GnomeOutputs::focusedMonitor() const {
    if (const std::optional<Rect> active = shell_.activeMonitor()) {
        if (std::optional<std::string> name = monitorAt(inner_->monitors(), *active)) {
            return name;
        }
    }
    return inner_->focusedMonitor();
}

}  // namespace lumivo
