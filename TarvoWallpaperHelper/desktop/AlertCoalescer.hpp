#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace lumivo {

// Keeps error alerts from piling up: while one is open, later errors raise no
// alert of their own; once it closes, one alert follows with the first of
// them and says how many more there were. GUI thread only; re-entrant calls
// (from the open alert's event loop) only count.
class AlertCoalescer {
  public:
    // Shows one alert with `text` and acts on its answer; returns false when
    // no further alert may follow (the helper quits).
    using Show = std::function<bool(const std::string& text)>;

    explicit AlertCoalescer(Show show) : show_(std::move(show)) {}

    // Shows `description`, or holds it back while an alert is open. Returns
    // once the alert and those that follow it are answered.
    void report(const std::string& description);

    // The text of the alert that follows: the first held error, then how many
    // more there were.
    static std::string followUpText(const std::string& first, std::size_t more);

  private:
    Show show_;
    bool open_ = false;
    std::optional<std::string> firstHeld_;
    std::size_t moreHeld_ = 0;
};

}  // namespace lumivo
