#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumivo {

// One modal alert: a headline, a longer text, a look and its buttons in order.
struct AlertRequest {
    enum class Style { informational, warning };

    std::string messageText;
    std::string informativeText;
    Style style = Style::informational;
    // Shown in this order; the first is the default button.
    std::vector<std::string> buttons;
    // The button that Escape and the window's close button answer with.
    std::optional<int> escapeButton;
};

// Shows alerts and waits for the answer. Called on the GUI thread only.
class Alerting {
  public:
    virtual ~Alerting() = default;
    // Returns the index of the button chosen, or -1 when the alert was closed
    // without one (for instance because the application is quitting).
    virtual int run(const AlertRequest& alert) = 0;
};

}  // namespace lumivo
