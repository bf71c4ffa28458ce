#include "ScreenMode.hpp"

namespace lumivo {

std::string_view screenModeKey(ScreenMode mode) {
    switch (mode) {
        case ScreenMode::SpanAcrossScreens:
            return "span";
        case ScreenMode::MainScreenOnly:
            return "main";
        case ScreenMode::EachScreen:
            return "each";
        case ScreenMode::AllScreens:
            break;
    }
    return "all";
}

std::optional<ScreenMode> screenModeFromKey(std::string_view key) {
    for (auto mode : {ScreenMode::AllScreens, ScreenMode::SpanAcrossScreens,
                      ScreenMode::MainScreenOnly, ScreenMode::EachScreen}) {
        if (screenModeKey(mode) == key) {
            return mode;
        }
    }
    return std::nullopt;
}

}  // namespace lumivo
