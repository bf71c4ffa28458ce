#include "UserSettings.hpp"

#include "GuiThread.hpp"

namespace lumivo {

UserSettings::UserSettings() : settings_(QSettings::UserScope, "Lumivo", "LumivoHelper") {}

bool UserSettings::flag(const std::string& key) const {
    requireGuiThread("UserSettings::flag");
    return settings_.value(QString::fromStdString(key), false).toBool();
}

void UserSettings::setFlag(const std::string& key, bool value) {
    requireGuiThread("UserSettings::setFlag");
    settings_.setValue(QString::fromStdString(key), value);
    settings_.sync();
}

}  // namespace lumivo
