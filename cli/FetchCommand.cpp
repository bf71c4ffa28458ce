// `lumivo fetch`: obtains one wallpaper's video the way the helper does
// (manifest lookup, download policy, verified cache) and prints its path.
#include <unistd.h>

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
#include "SignalStop.hpp"
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

// Throws when a stop signal came, also one that found nothing left to stop.
void throwIfInterrupted() {
    if (SignalStop::interrupted()) {
        throw std::runtime_error("lumivo: interrupted.");
    }
}

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
        auto downloader = std::make_unique<URLSessionFileDownloader>(fileManager);
        if (::isatty(STDERR_FILENO)) {
            downloader->setProgressHandler([&bar](std::int64_t received, std::int64_t expected) {
                bar.update(received, expected);
            });
        }
        const ManifestStore store(*manifest, std::make_unique<URLManifestDataLoader>());
        WallpaperCache cache =
            cacheDirectory ? WallpaperCache(*cacheDirectory, std::move(downloader), fileManager)
                           : WallpaperCache(std::move(downloader), fileManager);
        // A stop signal ends the load, the download or the digest in progress
        // through its failure path, which removes the temporary files.
        const std::stop_source stop;
        const SignalStop signals(stop);

        const auto record = store.record(options->id, stop.get_token());
        throwIfInterrupted();
        if (!record) {
            throw HelperError::missingRecord(options->id);
        }
        const fs::path file = cache.localFile(
            *record, DownloadPolicy(hosts, DownloadPolicy::defaultMaxBytes), stop.get_token());
        throwIfInterrupted();
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
