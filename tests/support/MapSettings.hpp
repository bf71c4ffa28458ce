#pragma once

#include <map>
#include <optional>
#include <string>

#include "SettingsStoring.hpp"

namespace lumivo {

// Settings in memory as QSettings keeps them: "group/key" texts; removing a
// group removes every key in it.
struct MapSettings : SettingsStoring {
    std::map<std::string, std::string> values;
    bool flag(const std::string& key) const override { return values.count(key) > 0; }
    void setFlag(const std::string& key, bool value) override {
        values[key] = value ? "true" : "false";
    }
    std::optional<std::string> text(const std::string& key) const override {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    void setText(const std::string& key, const std::string& value) override { values[key] = value; }
    void remove(const std::string& key) override {
        std::erase_if(values, [&](const auto& entry) {
            return entry.first == key || entry.first.starts_with(key + "/");
        });
    }
};

}  // namespace lumivo
