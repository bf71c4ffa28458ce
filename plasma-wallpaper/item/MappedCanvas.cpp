#include "MappedCanvas.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace lumivo {

std::shared_ptr<MappedCanvas> MappedCanvas::map(const FrameMessage& canvas, int fd) {
    const std::size_t size = canvas.slotBytes() * static_cast<std::size_t>(canvas.slotCount);
    struct stat info {};
    if (canvas.kind != FrameMessage::Kind::canvas || size == 0 || fstat(fd, &info) != 0 ||
        !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) < size) {
        return nullptr;
    }
    // Memory that its owner could still shrink would fault on reading (and
    // take plasmashell down): only sealed memory is mapped.
    const int seals = fcntl(fd, F_GET_SEALS);
    if (seals < 0 || (seals & F_SEAL_SHRINK) == 0) {
        return nullptr;
    }
    void* memory = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    return std::shared_ptr<MappedCanvas>(new MappedCanvas(canvas, memory, size));
}

MappedCanvas::MappedCanvas(const FrameMessage& message, void* memory, std::size_t size)
    : message_(message), memory_(memory), size_(size) {}

MappedCanvas::~MappedCanvas() {
    munmap(memory_, size_);
}

bool MappedCanvas::holds(const FrameMessage& frame) const {
    return frame.kind == FrameMessage::Kind::frame && frame.id == message_.id &&
           frame.slot < message_.slotCount && frame.x + frame.width <= message_.width &&
           frame.y + frame.height <= message_.height;
}

const std::uint8_t* MappedCanvas::pixels(const FrameMessage& frame) const {
    return static_cast<const std::uint8_t*>(memory_) +
           message_.slotBytes() * static_cast<std::size_t>(frame.slot) +
           static_cast<std::size_t>(frame.y) * static_cast<std::size_t>(message_.stride) +
           static_cast<std::size_t>(frame.x) * 4;
}

}  // namespace lumivo
