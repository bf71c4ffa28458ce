#pragma once

#include <string>

namespace lumivo {

// The per-user persisted Boolean settings. An absent key reads as false.
// Called on the GUI thread only.
class SettingsStoring {
  public:
    virtual ~SettingsStoring() = default;
    virtual bool flag(const std::string& key) const = 0;
    virtual void setFlag(const std::string& key, bool value) = 0;
};

}  // namespace lumivo
