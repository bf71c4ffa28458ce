#pragma once

#include <QObject>
#include <string>

namespace lumivo {

class HelperCommands;

// Publishes the helper on the session bus: org.freedesktop.Application at
// /app/lumivo/Helper, then the name app.lumivo.Helper, requested without
// queueing so that of several helpers starting at once exactly one wins.
class HelperBusService {
  public:
    enum class Claim { owned, ownedByAnother, failed };

    // The object is exported before the name is requested, so a call that
    // follows the name finds it ready. `error` receives a failure's reason.
    // `object` is exported and carries the adaptor, which hands calls to `commands`.
    static Claim claim(QObject& object, HelperCommands& commands, std::string& error);
};

}  // namespace lumivo
