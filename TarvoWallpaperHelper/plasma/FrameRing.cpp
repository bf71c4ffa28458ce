#include "FrameRing.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <new>

#include "FrameServer.hpp"
#include "PlasmaOutput.hpp"

namespace lumivo {

FrameRing::FrameRing(int id, int width, int height, std::weak_ptr<FrameServer> server,
                     FindOutput find)
    : server_(std::move(server)),
      find_(std::move(find)),
      id_(id),
      width_(width),
      height_(height),
      holds_(slotCount, 0) {
    size_ = stride() * static_cast<std::size_t>(height_) * slotCount;
    memory_ = FileDescriptor(memfd_create("lumivo-frames", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    // Sealed against shrinking, so that no reader's mapping can fault.
    if (!memory_.isOpen() || ftruncate(memory_.get(), static_cast<off_t>(size_)) != 0 ||
        fcntl(memory_.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        throw std::bad_alloc();
    }
    void* mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, memory_.get(), 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    pixels_ = static_cast<std::uint8_t*>(mapped);
    latest_ = slotCount - 1;  // so that the first picture goes to slot 0
}

FrameRing::~FrameRing() {
    if (const auto server = server_.lock()) {
        server->forget(*this);
    }
    munmap(pixels_, size_);
}

std::uint8_t* FrameRing::acquire() {
    latest_ = pickSlot(holds_, latest_);
    return pixels_ + stride() * static_cast<std::size_t>(height_) * latest_;
}

FrameMessage FrameRing::canvasMessage() const {
    FrameMessage message;
    message.kind = FrameMessage::Kind::canvas;
    message.id = id_;
    message.width = width_;
    message.height = height_;
    message.stride = static_cast<int>(stride());
    message.slotCount = slotCount;
    return message;
}

void FrameRing::hold(int slot) {
    if (slot >= 0 && slot < slotCount) {
        ++holds_[slot];
    }
}

void FrameRing::release(int slot) {
    if (slot >= 0 && slot < slotCount && holds_[slot] > 0) {
        --holds_[slot];
    }
}

int FrameRing::pickSlot(const std::vector<int>& holds, int latest) {
    const int count = static_cast<int>(holds.size());
    for (int step = 1; step < count; ++step) {
        const int slot = (latest + step) % count;
        if (holds[slot] == 0) {
            return slot;
        }
    }
    return (latest + 1) % count;
}

void FrameRing::present(const Output& output, const Rect& source) {
    const PlasmaOutput* shown = find_ ? find_(output) : nullptr;
    auto server = server_.lock();
    if (shown != nullptr && server) {
        server->show(shown->desktop(), *this, source);
    }
}

}  // namespace lumivo
