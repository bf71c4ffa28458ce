#pragma once

// The fake for the workflow tests: the two core seams (manifest bytes, file
// downloads) and the desktop side, recording into a World the test owns.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <fstream>
#include <map>
#include <stop_token>
#include <thread>

#include "AppDelegate.hpp"
#include "HelperError.hpp"
#include "ScreenLayout.hpp"

namespace lumivo::test {

inline const std::string videoBytes = "video bytes";

struct World {
    // The core seams, called on the worker thread; set up before launch.
    std::optional<std::string> manifest;         // none: fails with "connection refused"
    std::function<void()> downloadEnds = [] {};  // may throw, as a failed download does
    // Each hold lasts until cleared or 10 s on; a download's also ends on a stop.
    std::atomic<bool> holdManifest = false, holdDownload = false, holdDigest = false;
    // `cancels` counts the stops that reached a download while it ran.
    std::atomic<int> manifestLoads = 0, downloads = 0, digests = 0, cancels = 0;
    AppDelegate::ProgressHandler progress;
    // The desktop side, on the GUI thread.
    std::vector<std::string> log, opened, toolTips;
    std::vector<AlertRequest> alerts;
    int answer = -1;                            // -1: closed without an answer
    std::function<void()> duringAlert = [] {};  // what arrives while a modal alert runs
    std::map<std::string, bool> settings;
    std::map<std::string, std::string> texts;
    std::vector<StatusMenu> menus;
    AppDelegate::MenuHandler menuHandler;
    std::vector<std::filesystem::path> started;
    bool noScreen = false;
    int stops = 0, terminations = 0;
    std::optional<ScreenMode> screenMode;
    // The player's screens (left to right), the one the user looks at, and
    // while a wallpaper plays, the video of every screen without its own
    // and each screen's own (each-screen mode).
    std::vector<Monitor> monitors{{"LEFT", {0, 0, 1280, 720}, true},
                                  {"RIGHT", {1280, 0, 1280, 720}, false}};
    std::optional<std::string> focused;
    std::filesystem::path everywhere;
    std::map<std::string, std::filesystem::path> onScreen;
};

// Waits while `hold` is set and no stop is requested, ten seconds at most.
inline void holdWhile(const std::atomic<bool>& hold, const std::stop_token& stop = {}) {
    for (int ms = 0; hold && !stop.stop_requested() && ms < 10000; ++ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The real file system, with a hold at the start of each digest the cache takes.
struct Files : FileManager {
    explicit Files(World& world) : w(world) {}
    bool readChunks(const std::filesystem::path& path, std::size_t chunkSize,
                    const std::function<void(std::span<const std::byte>)>& consume) const override {
        ++w.digests;
        holdWhile(w.holdDigest);
        return FileManager::readChunks(path, chunkSize, consume);
    }
    World& w;
};

// One fake stands behind every seam. The delegate owns one per seam, and they
// all work on the World the test owns.
struct Fake : ManifestDataLoading,
              FileDownloading,
              Alerting,
              BrowserOpening,
              SettingsStoring,
              Logging,
              StatusItemShowing,
              WallpaperPlaying {
    explicit Fake(World& world) : w(world) {}
    World& w;

    // A held load ends as one that was done just when the stop came.
    std::string loadData(const Url&, std::stop_token) override {
        ++w.manifestLoads;
        holdWhile(w.holdManifest);
        return w.manifest ? *w.manifest : throw std::runtime_error("connection refused");
    }
    // Reports progress, then writes videoBytes unless `downloadEnds` throws
    // or a stop came before its end.
    void download(const Url&, const std::filesystem::path& to, std::int64_t,
                  std::stop_token stop) override {
        ++w.downloads;
        const std::stop_callback counted(stop, [this] { ++w.cancels; });
        holdWhile(w.holdDownload, stop);
        std::ofstream(to, std::ios::binary) << "partial";
        if (stop.stop_requested()) {
            throw HelperError::downloadCancelled();
        }
        const auto size = static_cast<std::int64_t>(videoBytes.size());
        w.progress(size / 2, size);
        w.progress(size, size);
        w.downloadEnds();
        std::ofstream(to, std::ios::binary) << videoBytes;
    }
    int run(const AlertRequest& alert) override {
        // However a command ends, the menu has settled before an alert shows.
        EXPECT_TRUE(!w.menus.empty() && w.menus.back().at(0).title != "Downloading...");
        w.alerts.push_back(alert);
        w.duringAlert();
        QCoreApplication::processEvents();  // as the alert's own event loop does
        return w.answer;
    }
    void open(const Url& page) override { w.opened.push_back(page.absoluteString()); }
    bool flag(const std::string& key) const override { return w.settings[key]; }
    void setFlag(const std::string& key, bool value) override { w.settings[key] = value; }
    std::optional<std::string> text(const std::string& key) const override {
        const auto found = w.texts.find(key);
        return found == w.texts.end() ? std::nullopt : std::optional(found->second);
    }
    void setText(const std::string& key, const std::string& value) override {
        w.texts[key] = value;
    }
    void remove(const std::string& key) override {
        std::erase_if(w.texts, [&](const auto& entry) {
            return entry.first == key || entry.first.starts_with(key + "/");
        });
    }
    void write(const std::string& line) override { w.log.push_back(line); }
    void setMenu(const StatusMenu& menu) override { w.menus.push_back(menu); }
    void setToolTip(const std::string& text) override { w.toolTips.push_back(text); }
    void start(const std::filesystem::path& path) override {
        if (w.noScreen) {
            throw HelperError::noMainScreen();
        }
        w.started.push_back(path);
        w.everywhere = path;
        w.onScreen.clear();
    }
    // As the player: one screen in each-screen mode while one plays.
    std::optional<std::string> startOn(const std::filesystem::path& path,
                                       const std::optional<std::string>& screen) override {
        if (screenMode() != ScreenMode::EachScreen || w.everywhere.empty()) {
            start(path);
            return std::nullopt;
        }
        const std::string name =
            w.monitors.at(*chooseScreen(w.monitors, screen ? screen : w.focused)).name;
        w.onScreen[name] = path;
        return name;
    }
    std::vector<Monitor> screens() const override {
        return w.everywhere.empty() ? std::vector<Monitor>{} : w.monitors;
    }
    std::filesystem::path video() const override { return w.everywhere; }
    void stop() override {
        ++w.stops;
        w.everywhere.clear();
        w.onScreen.clear();
    }
    void setScreenMode(ScreenMode mode) override {
        if (mode != ScreenMode::EachScreen && !w.everywhere.empty()) {
            const std::string focused = w.monitors.at(*chooseScreen(w.monitors, w.focused)).name;
            if (w.onScreen.contains(focused)) {
                w.everywhere = w.onScreen[focused];
            }
            w.onScreen.clear();
        }
        w.screenMode = mode;
    }
    ScreenMode screenMode() const override { return w.screenMode.value_or(ScreenMode::AllScreens); }
};

}  // namespace lumivo::test
