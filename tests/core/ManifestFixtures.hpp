#pragma once

#include <map>
#include <string>
#include <vector>

namespace lumivo::test {

// One manifest record object as JSON text. `overrides` replaces (or adds) a
// key's raw JSON value; a key overridden with "" is left out.
inline std::string recordObject(const std::string& id,
                                const std::map<std::string, std::string>& overrides = {}) {
    std::map<std::string, std::string> fields = {
        {"id", "\"" + id + "\""},
        {"slug", "\"slug-" + id + "\""},
        {"title", "\"Title " + id + "\""},
        {"category", "\"nature\""},
        {"thumbnailUrl", "\"/thumbs/t.jpg\""},
        {"videoUrl", "\"https://cdn.example.com/v.mp4\""},
        {"sha256", "\"" + std::string(64, 'a') + "\""},
        {"bytes", "1048576"},
        {"duration", "12.5"},
        {"width", "1920"},
        {"height", "1080"},
        {"format", "\"mp4\""},
        {"updatedAt", "\"2024-05-01T10:00:00Z\""},
    };
    for (const auto& [key, value] : overrides) {
        fields[key] = value;
    }
    std::string out = "{";
    for (const auto& [key, value] : fields) {
        if (!value.empty()) {
            out += (out.size() > 1 ? ",\"" : "\"") + key + "\":" + value;
        }
    }
    return out + "}";
}

// A manifest document of default records with the given ids.
inline std::string manifestWithIds(const std::vector<std::string>& ids) {
    std::string out = "[";
    for (const auto& id : ids) {
        out += (out.size() > 1 ? "," : "") + recordObject(id);
    }
    return out + "]";
}

}  // namespace lumivo::test
