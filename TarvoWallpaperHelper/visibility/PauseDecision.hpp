#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumivo {

// Everything that can make the wallpaper rest, as the visibility sources and
// the settings report it at one moment.
struct PauseInputs {
    std::vector<bool> outputsHidden{};  // one flag per output the wallpaper plays on
    bool suspending = false;            // the system is about to sleep
    bool locked = false;
    bool screensaverActive = false;
    bool blanked = false;  // the X server's own screen saver blanks the screen
    bool onBattery = false;
    bool pauseOnBattery = true;  // the "pauseOnBattery" setting
    bool manual = false;         // "Pause Wallpaper" is checked
};

// Decides whether the decode rests, and remembers the last decision so that
// only a change between paused and playing gives a log line. A hidden output
// alone only skips its drawing; the decode rests when every output is hidden.
// Qt-free value type; not thread-safe.
class PauseDecision {
  public:
    // Why the decode should rest with these inputs, or nullopt when it should
    // play. With no outputs at all, nothing counts as covered.
    static std::optional<std::string> reasonFor(const PauseInputs& inputs);

    // Takes new inputs. Returns "[LumivoHelper] Paused: <reason>" or
    // "[LumivoHelper] Resumed" when the paused state changes, else nullopt.
    // A new reason while already paused is no change.
    std::optional<std::string> update(const PauseInputs& inputs);

    bool paused() const { return reason_.has_value(); }
    const std::optional<std::string>& reason() const { return reason_; }

  private:
    std::optional<std::string> reason_;
};

}  // namespace lumivo
