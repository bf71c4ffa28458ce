#include "ShmBuffer.hpp"

#include <sys/mman.h>
#include <unistd.h>

namespace lumivo {

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    const std::size_t size = static_cast<std::size_t>(width) * height * 4;
    int fd = memfd_create("lumivo-wallpaper", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    void* memory = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
        memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    // The pool only lives until the buffer holds it; libwayland sends a copy of fd.
    WaylandProxy<wl_shm_pool> pool(wl_shm_create_pool(shm, fd, static_cast<int32_t>(size)));
    close(fd);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool.get(), 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    return std::unique_ptr<ShmBuffer>(new ShmBuffer(memory, size, width, height, buffer));
}

ShmBuffer::ShmBuffer(void* memory, std::size_t size, int width, int height, wl_buffer* buffer)
    : memory_(memory), size_(size), width_(width), height_(height), buffer_(buffer) {
    wl_buffer_add_listener(buffer_.get(), &listener, this);
}

ShmBuffer::~ShmBuffer() {
    munmap(memory_, size_);
}

const wl_buffer_listener ShmBuffer::listener = {
    .release = [](void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; },
};

}  // namespace lumivo
