#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumivo::cli {

// Each command takes the arguments after its own name and returns the exit
// status: 0 on success, 1 on a failure (message on stderr), 2 on a usage error.
int manifestCommand(const std::vector<std::string>& args);
// `fetch`: looks a wallpaper up, downloads and verifies it into the cache and
// prints the local file's path.
int fetchCommand(const std::vector<std::string>& args);
// `cache list`: prints each cached video with its size in bytes, when it was
// last applied and whether the helper keeps it; `cache prune` trims the cache
// to a limit as the helper does after each download.
int cacheCommand(const std::vector<std::string>& args);

// The directory a --cache-dir value names, made absolute. Throws
// std::runtime_error with a message for an empty value, or for a relative one
// that cannot be resolved (the working directory was deleted).
std::filesystem::path cacheDirectoryArgument(const std::string& value);

}  // namespace lumivo::cli
