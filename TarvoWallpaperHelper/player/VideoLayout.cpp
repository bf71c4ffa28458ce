#include "VideoLayout.hpp"

#include <algorithm>

namespace lumivo {

std::vector<VideoLayout> layoutVideos(const std::vector<Monitor>& monitors,
                                      const std::map<std::string, std::filesystem::path>& own,
                                      const std::filesystem::path& fallback) {
    std::vector<VideoLayout> videos;
    std::vector<std::vector<std::size_t>> shownOn;  // monitor indices, per video
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const auto found = own.find(monitors[i].name);
        const std::filesystem::path& video = found != own.end() ? found->second : fallback;
        if (monitors[i].geometry.empty()) {
            continue;
        }
        auto same = std::find_if(videos.begin(), videos.end(),
                                 [&](const VideoLayout& v) { return v.video == video; });
        if (same == videos.end()) {
            videos.push_back({video, {}});
            shownOn.emplace_back();
            same = videos.end() - 1;
        }
        shownOn[static_cast<std::size_t>(same - videos.begin())].push_back(i);
    }
    for (std::size_t v = 0; v < videos.size(); ++v) {
        std::vector<Monitor> subset;
        for (const std::size_t i : shownOn[v]) {
            subset.push_back(monitors[i]);
        }
        videos[v].layout = layoutScreens(ScreenMode::EachScreen, subset);
        for (Placement& placement : videos[v].layout.placements) {
            placement.monitor = shownOn[v][placement.monitor];
        }
    }
    return videos;
}

}  // namespace lumivo
