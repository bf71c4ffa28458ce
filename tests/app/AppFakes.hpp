#pragma once

// Fakes for the application workflow tests: the two core seams (manifest
// bytes, file downloads) and the desktop side (alerts, browser, settings, log,
// tray, player). Each records into a Recorder the test owns, so what the
// delegate did can be read after it took ownership of the fakes.

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AppDelegate.hpp"
#include "HelperError.hpp"

namespace lumivo::test {

struct Recorder {
    std::vector<std::string> log;
    std::vector<AlertRequest> alerts;
    // What the log and the menu held when each alert was shown.
    std::vector<std::size_t> logSizeAtAlert;
    std::vector<StatusMenu> menuAtAlert;
    std::vector<int> alertAnswers;  // answers in order; -1 once they run out
    std::vector<std::string> opened;
    std::map<std::string, bool> settings;
    std::vector<std::optional<bool>> welcomeFlagAtAlert;
    std::vector<StatusMenu> menus;
    std::vector<std::string> toolTips;
    AppDelegate::MenuHandler menuHandler;
    std::vector<std::filesystem::path> started;
    int stops = 0;
    bool noScreen = false;
    int terminations = 0;
};

// Manifest bytes from memory, or a failure. Called on the worker thread.
struct RemoteManifest {
    std::mutex mutex;
    std::string body;
    std::optional<std::string> failure;
    int calls = 0;
};

class FakeManifestLoader : public ManifestDataLoading {
  public:
    explicit FakeManifestLoader(RemoteManifest& state) : state_(state) {}
    std::string loadData(const Url&) override {
        std::lock_guard lock(state_.mutex);
        ++state_.calls;
        if (state_.failure) {
            throw std::runtime_error(*state_.failure);
        }
        return state_.body;
    }

  private:
    RemoteManifest& state_;
};

// Downloads that write fixed bytes, can fail, and can be held open until the
// test releases them or the delegate cancels them.
struct Downloads {
    std::mutex mutex;
    std::condition_variable changed;
    std::string content;
    std::optional<HelperError> failure;
    std::function<void()> beforeFailing;
    bool hold = false;
    bool waiting = false;
    bool cancelled = false;
    int calls = 0;
    int cancels = 0;
    AppDelegate::ProgressHandler progress;

    void release() {
        std::lock_guard lock(mutex);
        hold = false;
        changed.notify_all();
    }
    void cancel() {
        std::lock_guard lock(mutex);
        ++cancels;
        cancelled = true;
        changed.notify_all();
    }
    bool isWaiting() {
        std::lock_guard lock(mutex);
        return waiting;
    }
};

class FakeDownloader : public FileDownloading {
  public:
    explicit FakeDownloader(Downloads& state) : state_(state) {}
    void download(const Url&, const std::filesystem::path& to, std::int64_t) override {
        std::unique_lock lock(state_.mutex);
        ++state_.calls;
        state_.waiting = true;
        state_.changed.wait(lock, [&] { return !state_.hold || state_.cancelled; });
        state_.waiting = false;
        if (state_.cancelled) {
            throw HelperError::downloadFailed("Download was cancelled.");
        }
        if (state_.progress) {
            const auto size = static_cast<std::int64_t>(state_.content.size());
            state_.progress(size / 2, size);
            state_.progress(size, size);
        }
        if (state_.failure) {
            if (state_.beforeFailing) {
                state_.beforeFailing();
            }
            throw *state_.failure;
        }
        std::ofstream(to, std::ios::binary) << state_.content;
    }

  private:
    Downloads& state_;
};

class FakeAlerts : public Alerting {
  public:
    explicit FakeAlerts(Recorder& r) : r_(r) {}
    int run(const AlertRequest& alert) override {
        r_.alerts.push_back(alert);
        r_.logSizeAtAlert.push_back(r_.log.size());
        r_.menuAtAlert.push_back(r_.menus.empty() ? StatusMenu{} : r_.menus.back());
        const auto flag = r_.settings.find("hasShownWelcome");
        r_.welcomeFlagAtAlert.push_back(flag == r_.settings.end() ? std::nullopt
                                                                  : std::optional(flag->second));
        if (r_.alertAnswers.empty()) {
            return -1;
        }
        const int answer = r_.alertAnswers.front();
        r_.alertAnswers.erase(r_.alertAnswers.begin());
        return answer;
    }

  private:
    Recorder& r_;
};

class FakeBrowser : public BrowserOpening {
  public:
    explicit FakeBrowser(Recorder& r) : r_(r) {}
    void open(const Url& page) override { r_.opened.push_back(page.absoluteString()); }

  private:
    Recorder& r_;
};

class FakeSettings : public SettingsStoring {
  public:
    explicit FakeSettings(Recorder& r) : r_(r) {}
    bool flag(const std::string& key) const override {
        const auto it = r_.settings.find(key);
        return it != r_.settings.end() && it->second;
    }
    void setFlag(const std::string& key, bool value) override { r_.settings[key] = value; }

  private:
    Recorder& r_;
};

class FakeLog : public Logging {
  public:
    explicit FakeLog(Recorder& r) : r_(r) {}
    void write(const std::string& line) override { r_.log.push_back(line); }

  private:
    Recorder& r_;
};

class FakeStatusItem : public StatusItemShowing {
  public:
    explicit FakeStatusItem(Recorder& r) : r_(r) {}
    void setMenu(const StatusMenu& menu) override { r_.menus.push_back(menu); }
    void setToolTip(const std::string& text) override { r_.toolTips.push_back(text); }

  private:
    Recorder& r_;
};

class FakePlayer : public WallpaperPlaying {
  public:
    explicit FakePlayer(Recorder& r) : r_(r) {}
    void start(const std::filesystem::path& path) override {
        if (r_.noScreen) {
            throw HelperError::noMainScreen();
        }
        r_.started.push_back(path);
    }
    void stop() override { ++r_.stops; }

  private:
    Recorder& r_;
};

}  // namespace lumivo::test
