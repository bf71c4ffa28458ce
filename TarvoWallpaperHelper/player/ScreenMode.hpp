#pragma once

#include <optional>
#include <string_view>

namespace lumivo {

// How the wallpaper covers several monitors. The setting "screens" stores the
// key of one of these ("all", "span", "main", "each").
enum class ScreenMode {
    AllScreens,         // every monitor shows the whole video, aspect-filled to it
    SpanAcrossScreens,  // one canvas over all monitors; each shows its slice
    MainScreenOnly,     // the primary monitor only
    EachScreen,         // every monitor its own video, aspect-filled to it; one decode per video
};

// The settings key of `mode`.
std::string_view screenModeKey(ScreenMode mode);
// The mode stored under `key`; absent for any other text.
std::optional<ScreenMode> screenModeFromKey(std::string_view key);

}  // namespace lumivo
