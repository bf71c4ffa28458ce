#pragma once

#include <optional>
#include <string>

namespace lumivo {

// The per-user persisted settings: flags and texts under keys, where
// "group/key" places a key in a group. An absent flag reads as false. Called
// on the GUI thread only.
class SettingsStoring {
  public:
    virtual ~SettingsStoring() = default;
    virtual bool flag(const std::string& key) const = 0;
    virtual void setFlag(const std::string& key, bool value) = 0;
    virtual std::optional<std::string> text(const std::string& key) const = 0;
    virtual void setText(const std::string& key, const std::string& value) = 0;
    // Removes a key, or a group with every key in it.
    virtual void remove(const std::string& key) = 0;
};

}  // namespace lumivo
