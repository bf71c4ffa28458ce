#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "DesktopCover.hpp"
#include "RestackBudget.hpp"

namespace lumivo {

// Decides how to keep the wallpaper's windows on the right side of other
// programs' desktop windows (findDesktopCovers): which request to send the
// window manager, when to try another one because it ignored the last, and
// when to stop because the other side keeps undoing them (RestackBudget).
// Pure: the X11 side feeds it scenes and carries out its steps.
class DesktopStackKeeper {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Method {
        Restack,    // _NET_RESTACK_WINDOW, as a pager asks
        Configure,  // a ConfigureRequest with a sibling, for managers without the above
        Activate,   // _NET_ACTIVE_WINDOW: managers that refuse a raise still obey it
    };
    struct Request {
        Method method = Method::Restack;
        std::uint32_t window = 0;
        std::uint32_t sibling = 0;
        StackSide side = StackSide::Above;
        bool operator==(const Request&) const = default;
    };
    // What to do after a scene: send `requests`, log `notes`, and call
    // update() again at `wakeAt` (if set) even when nothing changes.
    struct Step {
        std::vector<Request> requests;
        std::vector<std::string> notes;
        // A compositing manager may still paint the wallpaper over a
        // see-through desktop window it has just been stacked under (muffin
        // sorts desktop windows only when an ordinary window's order changes):
        // have it sort its windows once.
        bool sortCompositor = false;
        std::optional<Clock::time_point> wakeAt;
    };

    // How long a request has to take effect before the next method is tried.
    static constexpr Clock::duration kSettle = std::chrono::milliseconds(250);
    // The cap: requests within a second and within a minute (a manager that
    // takes a while to undo each one stays under the first), and the rest
    // when one more is wanted.
    static constexpr std::size_t kRequestsPerSecond = 4;
    static constexpr std::size_t kRequestsPerMinute = 12;
    static constexpr Clock::duration kRest = std::chrono::seconds(5);

    // `restackSupported`: the window manager lists _NET_RESTACK_WINDOW in
    // _NET_SUPPORTED.
    explicit DesktopStackKeeper(bool restackSupported = false);
    // A new window manager may support other requests.
    void setRestackSupported(bool supported) { restackSupported_ = supported; }

    // The step for the current scene and the wallpaper's windows in it.
    Step update(const StackingScene& scene, const std::vector<std::uint32_t>& own,
                Clock::time_point now);

  private:
    struct Attempt {
        std::uint32_t cover = 0;
        StackSide side = StackSide::Above;
        Method method = Method::Restack;
        Clock::time_point sentAt;
    };

    Method firstMethod(const StackingScene& scene, const DesktopCover& cover) const;
    bool mayActivate(const StackingScene& scene) const;
    void noteOnce(const DesktopCover& cover, Step& step);

    bool restackSupported_;
    RestackBudget budget_;
    std::map<std::uint32_t, Attempt> attempts_;  // by own window, until it sits right
    std::set<std::uint32_t> settledBelow_;       // own windows sorted under a see-through one
    std::set<std::string> notedPrograms_;
    bool capNoted_ = false;
};

}  // namespace lumivo
