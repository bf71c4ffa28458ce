// `lumivo fetch`: obtains one wallpaper's video the way the helper does
// (manifest lookup, download policy, verified cache) and prints its path.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <stdexcept>

#include "Commands.hpp"
#include "HelperConstants.hpp"
#include "HelperError.hpp"
#include "ManifestLocation.hpp"
#include "ManifestStore.hpp"
#include "URLManifestDataLoader.hpp"
#include "URLSessionFileDownloader.hpp"
#include "WallpaperCache.hpp"

namespace lumivo::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* fetchUsage =
    "Usage: lumivo fetch --manifest <path-or-url> [--allow-host HOST]... [--cache-dir DIR] <id>\n";

struct FetchOptions {
    std::string manifest;
    std::set<std::string> allowedHosts;
    std::optional<std::string> cacheDirectory;
    std::string id;
};

// Accepts "--name value" and "--name=value"; exactly one id.
std::optional<FetchOptions> parseFetchOptions(const std::vector<std::string>& args) {
    FetchOptions options;
    std::optional<std::string> id;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool takesValue =
            name == "--manifest" || name == "--allow-host" || name == "--cache-dir";
        if (takesValue && !value) {
            if (i + 1 == args.size()) {
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == "--manifest") {
            options.manifest = *value;
        } else if (name == "--allow-host") {
            options.allowedHosts.insert(*value);
        } else if (name == "--cache-dir") {
            options.cacheDirectory = *value;
        } else if (name.starts_with("--") || id) {
            return std::nullopt;
        } else {
            id = name;
        }
    }
    if (options.manifest.empty() || !id) {
        return std::nullopt;
    }
    options.id = *id;
    return options;
}

// One line on stderr, redrawn in place while bytes arrive.
class ProgressBar {
  public:
    void update(std::int64_t received, std::int64_t expected) {
        constexpr double mebibyte = 1024.0 * 1024.0;
        char line[96];
        if (expected > 0) {
            const int percent = static_cast<int>(received * 100 / expected);
            if (percent == lastPercent_) {
                return;
            }
            lastPercent_ = percent;
            const int filled = percent * 30 / 100;
            std::snprintf(line, sizeof line, "\r%3d%% [%-30s] %.1f / %.1f MiB", percent,
                          std::string(static_cast<std::size_t>(filled), '#').c_str(),
                          received / mebibyte, expected / mebibyte);
        } else {
            std::snprintf(line, sizeof line, "\r%.1f MiB", received / mebibyte);
        }
        std::cerr << line << std::flush;
        drawn_ = true;
    }
    // Ends the bar's line so that what follows starts on a fresh one.
    void finish() {
        if (drawn_) {
            std::cerr << "\n";
            drawn_ = false;
        }
    }

  private:
    int lastPercent_ = -1;
    bool drawn_ = false;
};

// SIGINT, SIGTERM or SIGHUP cancels the transfer running at that moment, so
// the command ends through its normal failure path: no partial file is left
// and it exits 1 with a message. A second signal has the default effect.
std::atomic<URLManifestDataLoader*> interruptibleLoad{nullptr};
std::atomic<URLSessionFileDownloader*> interruptibleDownload{nullptr};
std::atomic<bool> interrupted{false};
constexpr int interruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void cancelOnSignal(int signal) {
    if (interrupted.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (URLManifestDataLoader* loader = interruptibleLoad.load()) {
        loader->cancel();
    }
    if (URLSessionFileDownloader* downloader = interruptibleDownload.load()) {
        downloader->cancel();
    }
}

// Handles the signals for as long as it lives.
struct InterruptHandling {
    InterruptHandling(URLManifestDataLoader& loader, URLSessionFileDownloader& downloader) {
        static_assert(std::atomic<bool>::is_always_lock_free);
        interruptibleLoad.store(&loader);
        interruptibleDownload.store(&downloader);
        for (const int signal : interruptSignals) {
            std::signal(signal, cancelOnSignal);
        }
    }
    ~InterruptHandling() {
        for (const int signal : interruptSignals) {
            std::signal(signal, SIG_DFL);
        }
        interruptibleLoad.store(nullptr);
        interruptibleDownload.store(nullptr);
    }
    InterruptHandling(const InterruptHandling&) = delete;
    InterruptHandling& operator=(const InterruptHandling&) = delete;
    // Throws when a signal came while nothing could be cancelled.
    static void check() {
        if (interrupted.load()) {
            throw std::runtime_error("lumivo: interrupted.");
        }
    }
};

}  // namespace

int fetchCommand(const std::vector<std::string>& args) {
    const auto options = parseFetchOptions(args);
    if (!options) {
        std::cerr << fetchUsage;
        return 2;
    }
    const auto manifest = manifestLocation(options->manifest);
    if (!manifest) {
        std::cerr << "lumivo: not a valid path or URL: " << options->manifest << "\n";
        return 2;
    }
    std::set<std::string> hosts = options->allowedHosts;
    if (hosts.empty()) {
        hosts.insert(HelperConstants::manifestEndpoint().host().value_or(""));
    }

    ProgressBar bar;
    try {
        const std::optional<fs::path> cacheDirectory =
            options->cacheDirectory
                ? std::optional(cacheDirectoryArgument(*options->cacheDirectory))
                : std::nullopt;
        FileManager& fileManager = FileManager::standard();
        auto loader = std::make_unique<URLManifestDataLoader>();
        auto downloader = std::make_unique<URLSessionFileDownloader>(fileManager);
        URLManifestDataLoader& load = *loader;
        URLSessionFileDownloader& transfer = *downloader;
        if (::isatty(STDERR_FILENO)) {
            transfer.setProgressHandler([&bar](std::int64_t received, std::int64_t expected) {
                bar.update(received, expected);
            });
        }
        const ManifestStore store(*manifest, std::move(loader));
        WallpaperCache cache =
            cacheDirectory ? WallpaperCache(*cacheDirectory, std::move(downloader), fileManager)
                           : WallpaperCache(std::move(downloader), fileManager);
        // After the store and the cache, so it ends before they do.
        const InterruptHandling interruptHandling(load, transfer);

        const auto record = store.record(options->id);
        InterruptHandling::check();
        if (!record) {
            throw HelperError::missingRecord(options->id);
        }
        const fs::path file =
            cache.localFile(*record, DownloadPolicy(hosts, DownloadPolicy::defaultMaxBytes));
        InterruptHandling::check();
        bar.finish();
        std::cout << file.string() << "\n";
        return 0;
    } catch (const std::exception& error) {
        bar.finish();
        std::cerr << localizedDescription(error) << "\n";
        return 1;
    }
}

}  // namespace lumivo::cli
