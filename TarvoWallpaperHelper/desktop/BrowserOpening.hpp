#pragma once

#include "Url.hpp"

namespace lumivo {

// Opens web pages in the user's browser. Whether the page could be shown is
// not reported. Called on the GUI thread only.
class BrowserOpening {
  public:
    virtual ~BrowserOpening() = default;
    virtual void open(const Url& page) = 0;
};

}  // namespace lumivo
