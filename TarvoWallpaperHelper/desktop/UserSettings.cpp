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

std::optional<std::string> UserSettings::text(const std::string& key) const {
    requireGuiThread("UserSettings::text");
    const QVariant value = settings_.value(QString::fromStdString(key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

void UserSettings::setText(const std::string& key, const std::string& value) {
    requireGuiThread("UserSettings::setText");
    settings_.setValue(QString::fromStdString(key), QString::fromStdString(value));
    settings_.sync();
}

void UserSettings::remove(const std::string& key) {
    requireGuiThread("UserSettings::remove");
    settings_.remove(QString::fromStdString(key));
    settings_.sync();
}

}  // namespace lumivo
