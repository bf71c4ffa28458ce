#pragma once

#include <cstddef>
#include <string_view>

#include "Route.hpp"
#include "Url.hpp"

namespace lumivo {

// Turns a command URL (lumivo://apply/<id>, lumivo://ping, lumivo://stop)
// into a Route. Stateless; safe to use from any thread.
class URLRouter {
  public:
    // The longest command URL text accepted, in bytes (8 KiB).
    static constexpr std::size_t maxURLLength = 8192;

    // Throws badURL when the command URL text is longer than maxURLLength.
    // Call it on the raw text before Url::parse, so that a huge text is
    // refused before any work is spent on it.
    static void checkLength(std::string_view text);

    // Returns the command the URL names. Throws HelperError badURL (scheme
    // absent or not exactly "lumivo"), unknownAction (with the action word as
    // written) or badID (apply without an id segment); nothing else.
    // The action is the host when there is one, else the first path segment;
    // the id is the path segment that follows the action word.
    static Route parse(const Url& url);
};

}  // namespace lumivo
