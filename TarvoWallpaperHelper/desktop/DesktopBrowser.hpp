#pragma once

#include "BrowserOpening.hpp"

namespace lumivo {

// Opens pages with QDesktopServices, that is the desktop's xdg-open.
class DesktopBrowser : public BrowserOpening {
  public:
    void open(const Url& page) override;
};

}  // namespace lumivo
