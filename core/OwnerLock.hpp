#pragma once

#include <filesystem>

namespace lumivo {

// A marker file that tells every process that the files it stands for belong
// to a live process: it is held with flock(2) for as long as this object
// lives, and the kernel drops the lock when the owner dies in any way, so
// neither a crash nor a reused process id can make a dead owner look alive.
// Move-only.
class OwnerLock {
  public:
    // Creates the file at `path`, which must not exist, and locks it. Throws
    // std::system_error naming the path.
    explicit OwnerLock(std::filesystem::path path);
    // Removes the file, then lets go of the lock. Best effort.
    ~OwnerLock();
    OwnerLock(OwnerLock&& other) noexcept;
    OwnerLock& operator=(OwnerLock&&) = delete;
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;

    // Whether a live process holds the lock file at `path`. False when
    // nothing is there or its owner is gone; never creates the file.
    static bool isHeld(const std::filesystem::path& path) noexcept;

  private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace lumivo
