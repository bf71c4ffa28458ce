#pragma once

#include <string>

namespace lumivo {

// Owns one open POSIX file descriptor and closes it when destroyed. Move-only;
// an empty one holds -1.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor() { close(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release() noexcept;
    // Closes now. Returns 0, or the errno of a failed close (where a delayed
    // write error of a file surfaces). Closing an empty one returns 0.
    int close() noexcept;

  private:
    int fd_ = -1;
};

// The text of an errno value ("No such file or directory"), locale-free.
std::string errnoText(int error);

}  // namespace lumivo
