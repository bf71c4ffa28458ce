#pragma once

#include <filesystem>

namespace lumivo::test {

// Makes `to` the working directory until the end of the scope.
struct WorkingDirectory {
    explicit WorkingDirectory(const std::filesystem::path& to)
        : before(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~WorkingDirectory() { std::filesystem::current_path(before); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

    std::filesystem::path before;
};

}  // namespace lumivo::test
