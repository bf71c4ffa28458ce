#include "FileDescriptor.hpp"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace lumivo {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int FileDescriptor::close() noexcept {
    if (fd_ < 0) {
        return 0;
    }
    // The descriptor is gone after close() whatever it returns, EINTR included.
    const int result = ::close(release());
    return result == 0 ? 0 : errno;
}

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

}  // namespace lumivo
