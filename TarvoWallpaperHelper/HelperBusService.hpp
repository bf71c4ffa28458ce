#pragma once

#include <string>

namespace lumivo {

class AppDelegate;

// Publishes the delegate on the session bus: org.freedesktop.Application at
// /app/lumivo/Helper, then the name app.lumivo.Helper, requested without
// queueing so that of several helpers starting at once exactly one wins.
class HelperBusService {
  public:
    enum class Claim { owned, ownedByAnother, failed };

    // The object is exported before the name is requested, so a call that
    // follows the name finds it ready. `error` receives a failure's reason.
    static Claim claim(AppDelegate& delegate, std::string& error);
};

}  // namespace lumivo
