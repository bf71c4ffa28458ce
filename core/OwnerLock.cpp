#include "OwnerLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace lumivo {

OwnerLock::OwnerLock(std::filesystem::path path) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(),
                                "Could not create " + path_.string());
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::unlink(path_.c_str());
        ::close(fd_);
        throw std::system_error(error, std::generic_category(), "Could not lock " + path_.string());
    }
}

OwnerLock::OwnerLock(OwnerLock&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

OwnerLock::~OwnerLock() {
    if (fd_ >= 0) {
        // Unlinked first: whoever takes the lock after us finds the name gone.
        ::unlink(path_.c_str());
        ::close(fd_);
    }
}

bool OwnerLock::isHeld(const std::filesystem::path& path) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    // Any failure to take the lock counts as held: only a lock actually
    // taken proves the owner gone.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace lumivo
