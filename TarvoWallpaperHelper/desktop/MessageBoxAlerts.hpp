#pragma once

#include "Alerting.hpp"

namespace lumivo {

// Alerts as modal QMessageBoxes titled with the helper's name. The buttons
// keep the requested order and the first is the default (Return picks it).
class MessageBoxAlerts : public Alerting {
  public:
    int run(const AlertRequest& alert) override;
};

}  // namespace lumivo
