#pragma once

#include <QSettings>

#include "SettingsStoring.hpp"

namespace lumivo {

// Settings in QSettings' per-user file ($XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf).
// Every write is flushed at once, so a setting survives a crash right after it.
class UserSettings : public SettingsStoring {
  public:
    UserSettings();
    bool flag(const std::string& key) const override;
    void setFlag(const std::string& key, bool value) override;
    std::optional<std::string> text(const std::string& key) const override;
    void setText(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;

  private:
    QSettings settings_;
};

}  // namespace lumivo
