// `lumivo cache list` and `lumivo cache prune`: what the wallpaper cache
// holds, and trimming it to a size limit as the helper does after a download.
#include <charconv>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "CacheFolder.hpp"
#include "Commands.hpp"
#include "FileManager.hpp"
#include "HelperError.hpp"
#include "WallpaperCache.hpp"

namespace lumivo::cli {

namespace {

constexpr const char* cacheUsage =
    "Usage: lumivo cache list [--cache-dir DIR]\n"
    "       lumivo cache prune [--cache-dir DIR] [--limit-mib N]\n";

// The helper's default for the setting cacheLimitMiB, which this tool cannot read.
constexpr std::int64_t defaultLimitMiB = 2048;

struct Options {
    std::string action;
    std::optional<std::string> directory;
    std::optional<std::string> limit;
};

// Each option once, as "--name value" or "--name=value"; nothing else.
std::optional<Options> parse(const std::vector<std::string>& args) {
    if (args.empty()) {
        return std::nullopt;
    }
    Options options{args[0], std::nullopt, std::nullopt};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string>* slot = nullptr;
        std::string name = arg.substr(0, arg.find('='));
        if (name == "--cache-dir") {
            slot = &options.directory;
        } else if (name == "--limit-mib" && options.action == "prune") {
            slot = &options.limit;
        }
        if (slot == nullptr || slot->has_value()) {
            return std::nullopt;
        }
        if (arg.size() > name.size()) {
            *slot = arg.substr(name.size() + 1);
        } else if (i + 1 < args.size()) {
            *slot = args[++i];
        } else {
            return std::nullopt;
        }
    }
    return options;
}

std::int64_t limitArgument(const std::string& value) {
    std::int64_t mib = 0;
    const char* end = value.data() + value.size();
    const auto [rest, error] = std::from_chars(value.data(), end, mib);
    if (error != std::errc() || rest != end || mib <= 0 || mib > (INT64_MAX >> 20)) {
        throw std::runtime_error("lumivo: --limit-mib needs a positive whole number of MiB.");
    }
    return mib;
}

// Local time, to the second, as people read it.
std::string localTime(std::filesystem::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

std::filesystem::path cacheDirectoryArgument(const std::string& value) {
    if (value.empty()) {
        throw std::runtime_error("lumivo: --cache-dir needs a directory.");
    }
    std::error_code error;
    std::filesystem::path directory = std::filesystem::absolute(value, error);
    if (error) {
        throw std::runtime_error("lumivo: cannot resolve --cache-dir " + value + ": " +
                                 error.message() + ".");
    }
    return directory;
}

int cacheCommand(const std::vector<std::string>& args) {
    const std::optional<Options> options = parse(args);
    if (!options || (options->action != "list" && options->action != "prune")) {
        std::cerr << cacheUsage;
        return 2;
    }
    FileManager& fileManager = FileManager::standard();
    try {
        const std::int64_t limitMiB =
            options->limit ? limitArgument(*options->limit) : defaultLimitMiB;
        const CacheFolder folder(options->directory ? cacheDirectoryArgument(*options->directory)
                                                    : WallpaperCache::defaultRoot(fileManager),
                                 fileManager);
        if (options->action == "list") {
            for (const CacheFolder::File& file : folder.files()) {
                std::cout << file.path.string() << "\t" << file.bytes << "\t"
                          << localTime(file.lastApplied) << (file.isProtected ? "\tkept" : "")
                          << "\n";
            }
            return 0;
        }
        int status = 0;
        for (const CacheFolder::Removal& removal : folder.prune(limitMiB << 20)) {
            if (removal.failure) {
                std::cerr << "Could not remove " << removal.path.string() << ": "
                          << *removal.failure << "\n";
                status = 1;
            } else {
                std::cout << "Removed " << removal.path.string() << "\t" << removal.bytes << "\n";
            }
        }
        return status;
    } catch (const std::exception& error) {
        std::cerr << localizedDescription(error) << "\n";
        return 1;
    }
}

}  // namespace lumivo::cli
