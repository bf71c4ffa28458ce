#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lumivo {

// What the desktop can ask of a running helper over D-Bus. The bus adaptor
// turns each call into one of these and decides nothing; the application
// delegate carries them out. GUI thread only.
class HelperCommands {
  public:
    virtual ~HelperCommands() = default;
    // A command URL; absent text means none was given.
    virtual void handleURLEvent(std::optional<std::string> text) = 0;
    // The helper has no window to raise.
    virtual void activate() = 0;
    // A named action; false for a name the helper does not know.
    virtual bool activateAction(const std::string& name) = 0;
    // `dropped` URLs of one call were refused beyond the first `kept`.
    virtual void droppedURLs(std::size_t dropped, std::size_t kept) = 0;
};

}  // namespace lumivo
