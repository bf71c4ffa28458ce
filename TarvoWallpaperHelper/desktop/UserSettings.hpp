#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "SettingsStoring.hpp"

namespace lumivo {

// Settings in the per-user file $XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf (INI,
// as QSettings writes it). Every write is flushed at once, so a setting
// survives a crash right after it.
//
// A file that cannot be used is never handed to QSettings, which would wait
// for ever on a FIFO: anything there but a regular file, or a file that cannot
// be read, gives one log line naming it, and the settings then live in memory
// for this run, leaving the file alone. The first write that fails is logged;
// its value, and those of later writes, still hold for this run.
class UserSettings : public SettingsStoring {
  public:
    // Receives a message for the log (without the log prefix).
    using LogLine = std::function<void(const std::string&)>;

    explicit UserSettings(LogLine log, std::filesystem::path file = defaultFile());
    ~UserSettings() override;

    // $XDG_CONFIG_HOME/Lumivo/LumivoHelper.conf, or ~/.config/... without it.
    static std::filesystem::path defaultFile();
    // False when the settings live in memory only.
    bool usesFile() const { return file_ != nullptr; }

    bool flag(const std::string& key) const override;
    void setFlag(const std::string& key, bool value) override;
    std::optional<std::string> text(const std::string& key) const override;
    void setText(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;

  private:
    QVariant value(const std::string& key) const;
    void store(const std::string& key, const QVariant& value);
    void written();

    std::filesystem::path path_;
    LogLine log_;
    std::unique_ptr<QSettings> file_;
    std::map<QString, QVariant> memory_;  // the settings while file_ is null
    bool writeFailed_ = false;            // a write failed and was logged
};

}  // namespace lumivo
