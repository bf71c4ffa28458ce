#include "RecordJson.hpp"

#include <charconv>
#include <cmath>

namespace lumivo::cli {

std::string jsonQuoted(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    out += "\\u00";
                    out += hex[byte >> 4];
                    out += hex[byte & 0xf];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

namespace {

std::string number(double value) {
    // Decoded durations are always finite; keep the output valid JSON anyway.
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string recordJson(const WallpaperRecord& r) {
    std::string out = "{";
    auto add = [&out](std::string_view name, const std::string& value) {
        if (out.size() > 1) {
            out += ',';
        }
        out += jsonQuoted(name);
        out += ':';
        out += value;
    };
    add("id", jsonQuoted(r.id()));
    add("slug", jsonQuoted(r.slug()));
    add("title", jsonQuoted(r.title()));
    add("category", jsonQuoted(r.category()));
    add("thumbnailUrl", jsonQuoted(r.thumbnailUrl().absoluteString()));
    add("videoUrl", jsonQuoted(r.videoUrl().absoluteString()));
    add("sha256", jsonQuoted(r.sha256()));
    add("bytes", std::to_string(r.bytes()));
    add("duration", number(r.duration()));
    add("width", std::to_string(r.width()));
    add("height", std::to_string(r.height()));
    add("format", jsonQuoted(r.format()));
    add("updatedAt", jsonQuoted(r.updatedAt()));
    out += '}';
    return out;
}

}  // namespace lumivo::cli
