#pragma once

#include "Route.hpp"
#include "Url.hpp"

namespace lumivo {

// Turns a command URL (lumivo://apply/<id>, lumivo://ping, lumivo://stop)
// into a Route. Stateless; safe to use from any thread.
class URLRouter {
  public:
    // Returns the command the URL names. Throws HelperError badURL (scheme
    // absent or not exactly "lumivo"), unknownAction (with the action word as
    // written) or badID (apply without an id segment); nothing else.
    // The action is the host when there is one, else the first path segment;
    // the id is the path segment that follows the action word.
    static Route parse(const Url& url);
};

}  // namespace lumivo
