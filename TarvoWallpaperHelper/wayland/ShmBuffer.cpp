#include "ShmBuffer.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace lumivo {

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    // One row more than the picture: the server wants a whole stride after
    // the last row of a rectangle's buffer, which ends inside the last row.
    const std::size_t size = static_cast<std::size_t>(width) * (height + 1) * 4;
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
    // libwayland sends a duplicate of fd; the mapping keeps the memory.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    close(fd);
    return std::unique_ptr<ShmBuffer>(new ShmBuffer(memory, size, width, height, pool));
}

ShmBuffer::ShmBuffer(void* memory, std::size_t size, int width, int height, wl_shm_pool* pool)
    : memory_(memory), size_(size), width_(width), height_(height), pool_(pool) {}

ShmBuffer::~ShmBuffer() {
    views_.clear();
    pool_.reset();
    munmap(memory_, size_);
}

bool ShmBuffer::busy() const {
    return std::any_of(views_.begin(), views_.end(), [](const auto& v) { return v->busy; });
}

wl_buffer* ShmBuffer::attach(int x, int y, int width, int height) {
    auto same = [&](const auto& v) {
        return v->x == x && v->y == y && v->width == width && v->height == height;
    };
    auto it = std::find_if(views_.begin(), views_.end(), same);
    if (it == views_.end()) {
        // Layouts change rarely; forget the rectangles no one shows any more.
        std::erase_if(views_, [](const auto& v) { return !v->busy; });
        const int32_t offset = static_cast<int32_t>(y * stride() + x * 4u);
        auto view = std::make_unique<View>(View{
            x,
            y,
            width,
            height,
            WaylandProxy<wl_buffer>(wl_shm_pool_create_buffer(pool_.get(), offset, width, height,
                                                              static_cast<int32_t>(stride()),
                                                              WL_SHM_FORMAT_XRGB8888)),
        });
        wl_buffer_add_listener(view->buffer.get(), &listener, view.get());
        views_.push_back(std::move(view));
        it = views_.end() - 1;
    }
    (*it)->busy = true;
    return (*it)->buffer.get();
}

const wl_buffer_listener ShmBuffer::listener = {
    .release = [](void* data, wl_buffer*) { static_cast<View*>(data)->busy = false; },
};

}  // namespace lumivo
