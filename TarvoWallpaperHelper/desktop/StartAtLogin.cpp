#include "StartAtLogin.hpp"

namespace lumivo {

void StartAtLogin::refresh() {
    checked_ = entry_ ? std::optional(entry_->exists()) : std::nullopt;
}

std::exception_ptr StartAtLogin::toggle() {
    std::exception_ptr error;
    try {
        if (entry_) {
            entry_->exists() ? entry_->disable() : entry_->enable();
        }
    } catch (...) {
        error = std::current_exception();
    }
    refresh();
    return error;
}

}  // namespace lumivo
