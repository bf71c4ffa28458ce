#pragma once

#include <string>

namespace lumivo {

// The client side of single-instance delivery: passes a command to the helper
// that owns app.lumivo.Helper on the session bus, through its
// org.freedesktop.Application interface. Uses libdbus directly, so a second
// start needs neither Qt nor a display and returns within milliseconds.
class HandOver {
  public:
    enum class Result { delivered, noHelper, failed };

    // Open([url]); `error` receives the reason of a failure.
    static Result openURL(const std::string& url, std::string& error);
    // Activate(): for a start without a URL.
    static Result activate(std::string& error);
};

}  // namespace lumivo
