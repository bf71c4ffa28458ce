#pragma once

#include <string>
#include <utility>

namespace lumivo {

// One command of a lumivo:// URL: apply a wallpaper by id, ping, or stop.
// An immutable value; equal when the kind and (for apply) the id are equal.
class Route {
  public:
    enum class Kind { apply, ping, stop };

    static Route apply(std::string id) { return Route(Kind::apply, std::move(id)); }
    static Route ping() { return Route(Kind::ping, {}); }
    static Route stop() { return Route(Kind::stop, {}); }

    Kind kind() const { return kind_; }
    // The wallpaper id of an apply route; empty for ping and stop.
    const std::string& id() const { return id_; }

    friend bool operator==(const Route&, const Route&) = default;

  private:
    Route(Kind kind, std::string id) : kind_(kind), id_(std::move(id)) {}

    Kind kind_;
    std::string id_;
};

}  // namespace lumivo
