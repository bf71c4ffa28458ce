// `lumivo cache list`: shows what the wallpaper cache holds.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "Commands.hpp"
#include "FileManager.hpp"
#include "HelperError.hpp"
#include "WallpaperCache.hpp"

namespace lumivo::cli {

namespace {

constexpr const char* cacheUsage = "Usage: lumivo cache list [--cache-dir DIR]\n";

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
    std::optional<std::string> directory;
    if (args.size() == 3 && args[0] == "list" && args[1] == "--cache-dir") {
        directory = args[2];
    } else if (args.size() == 2 && args[0] == "list" && args[1].starts_with("--cache-dir=")) {
        directory = args[1].substr(12);
    } else if (args.size() != 1 || args[0] != "list") {
        std::cerr << cacheUsage;
        return 2;
    }
    FileManager& fileManager = FileManager::standard();
    try {
        const std::filesystem::path root = directory ? cacheDirectoryArgument(*directory)
                                                     : WallpaperCache::defaultRoot(fileManager);
        std::vector<std::string> names = fileManager.regularFileNames(root);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            // Hidden files are downloads in progress or left by a crash.
            if (name.starts_with(".")) {
                continue;
            }
            const auto size = fileManager.fileSize(root / name);
            std::cout << (root / name).string() << "\t" << size.value_or(0) << "\n";
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << localizedDescription(error) << "\n";
        return 1;
    }
}

}  // namespace lumivo::cli
