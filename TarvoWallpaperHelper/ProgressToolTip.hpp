#pragma once

#include <string>

#include "StatusItemShowing.hpp"

namespace lumivo {

// The tray icon's tooltip during a download: "Downloading <title>: <n>%",
// then the helper's name again once the apply ends. GUI thread only.
class ProgressToolTip {
  public:
    void show(StatusItemShowing* item, const std::string& title, int percent);
    // Back to the helper's name, if a download was shown.
    void reset(StatusItemShowing* item);

  private:
    bool shown_ = false;
};

}  // namespace lumivo
