#include "ManifestLocation.hpp"

#include <filesystem>
#include <system_error>

namespace lumivo::cli {

std::optional<Url> manifestLocation(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.find("://") != std::string::npos) {
        return Url::parse(text);
    }
    std::error_code error;
    const auto absolute = std::filesystem::absolute(text, error);
    if (error) {
        return std::nullopt;
    }
    return Url::fileURL(absolute);
}

}  // namespace lumivo::cli
