#include "FileManager.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "FileDescriptor.hpp"

namespace lumivo {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    fs::path path(value);
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    return path;
}

// A path holding NUL would be cut short by every system call; nothing by
// that name can exist.
bool hasNUL(const fs::path& path) {
    return path.native().find('\0') != std::string::npos;
}

}  // namespace

FileManager& FileManager::standard() {
    static FileManager instance;
    return instance;
}

std::optional<fs::path> FileManager::userCacheDirectory() const {
    if (auto xdg = absoluteFromEnvironment("XDG_CACHE_HOME")) {
        return xdg;
    }
    if (auto home = absoluteFromEnvironment("HOME")) {
        return *home / ".cache";
    }
    return std::nullopt;
}

bool FileManager::fileExists(const fs::path& path) const {
    struct stat info {};
    return !hasNUL(path) && ::stat(path.c_str(), &info) == 0;
}

bool FileManager::isReadableFile(const fs::path& path) const {
    struct stat info {};
    return !hasNUL(path) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

bool FileManager::removeItem(const fs::path& path) const noexcept {
    return !hasNUL(path) && ::unlink(path.c_str()) == 0;
}

void FileManager::deleteFile(const fs::path& path) const {
    if (hasNUL(path) || ::unlink(path.c_str()) != 0) {
        const int code = hasNUL(path) ? EINVAL : errno;
        throw std::system_error(code, std::generic_category(), "Could not remove " + path.string());
    }
}

void FileManager::replaceFile(const fs::path& path, const std::string& contents) const {
    const fs::path temporary = path.string() + ".new";
    const auto fail = [&](int code) {
        ::unlink(temporary.c_str());
        throw std::system_error(code, std::generic_category(), "Could not write " + path.string());
    };
    if (hasNUL(path)) {
        throw std::system_error(EINVAL, std::generic_category(),
                                "Could not write " + path.string());
    }
    const FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0) {
        throw std::system_error(errno, std::generic_category(), "Could not write " + path.string());
    }
    std::string_view rest = contents;
    while (!rest.empty()) {
        const ssize_t written = ::write(file.get(), rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            fail(errno);
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file.get()) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        fail(errno);
    }
}

void FileManager::moveItem(const fs::path& from, const fs::path& to) const {
    if (hasNUL(from) || hasNUL(to)) {
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "Could not move " + from.string() + " to " + to.string());
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        throw std::system_error(errno, std::generic_category(),
                                "Could not move " + from.string() + " to " + to.string());
    }
}

void FileManager::createDirectories(const fs::path& path) const {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) {
        throw std::system_error(error, "Could not create directory " + path.string());
    }
    // create_directories is content when the last component exists as
    // anything; only a directory will do.
    if (!fs::is_directory(path, error)) {
        throw std::system_error(std::make_error_code(std::errc::not_a_directory),
                                "Could not create directory " + path.string());
    }
}

std::optional<std::int64_t> FileManager::fileSize(const fs::path& path) const {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > static_cast<std::uintmax_t>(INT64_MAX)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(size);
}

std::optional<fs::file_time_type> FileManager::modificationDate(const fs::path& path) const {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(path, error);
    if (error) {
        return std::nullopt;
    }
    return time;
}

bool FileManager::setModificationDate(const fs::path& path,
                                      fs::file_time_type time) const noexcept {
    std::error_code error;
    fs::last_write_time(path, time, error);
    return !error;
}

std::vector<std::string> FileManager::regularFileNames(const fs::path& directory) const {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::regular) {
            names.push_back(it->path().filename().string());
        }
    }
    return names;
}

bool FileManager::readChunks(const fs::path& path, std::size_t chunkSize,
                             const std::function<void(std::span<const std::byte>)>& consume) const {
    if (hasNUL(path)) {
        return false;
    }
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.isOpen()) {
        return false;
    }
    ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<std::byte> buffer(chunkSize);
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(),
                                    "Could not read " + path.string());
        }
        if (count == 0) {
            return true;
        }
        consume(std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(count)));
    }
}

}  // namespace lumivo
