#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumivo {

// One message between the helper and the Plasma wallpaper package: a single
// packet of ASCII text on the frame socket. Qt-free; both sides compile it.
//
// helper -> package
//   canvas <id> <width> <height> <stride> <slots>   + the canvas memory (memfd)
//   frame <id> <slot> <x> <y> <width> <height>      show this part of a slot
//   clear                                           show nothing (black)
// package -> helper
//   hello <version> <desktop>                       the containment it draws
//   covered <0|1>                                   windows hide it, or not
//   release <id> <slot>                             done reading that slot
//
// A canvas is `slotCount` pictures of `height` rows `stride` bytes apart, one after
// the other, 32-bit pixels B, G, R, X.
struct FrameMessage {
    enum class Kind { canvas, frame, clear, hello, covered, release };
    static constexpr int protocolVersion = 1;
    // Larger canvases are refused: no screen needs them, and a reader sizes
    // its mapping from these numbers.
    static constexpr int maxSide = 16384;
    static constexpr int maxSlots = 8;
    static constexpr std::size_t maxSize = 128;  // bytes of text

    Kind kind = Kind::clear;
    int id = 0;     // canvas, frame, release: the canvas
    int width = 0;  // canvas: the picture; frame: the part shown
    int height = 0;
    int stride = 0;     // canvas
    int slotCount = 0;  // canvas
    int slot = 0;       // frame, release
    int x = 0;          // frame
    int y = 0;
    int version = 0;        // hello
    long long desktop = 0;  // hello: the containment id
    bool covered = false;   // covered

    // The bytes of one canvas slot; 0 when the numbers overflow.
    std::size_t slotBytes() const;
    std::string text() const;
    // nullopt for anything but a well-formed message whose numbers are in
    // range (a canvas's stride holds its width, a frame's part lies in its
    // slot's picture as far as the message alone tells).
    static std::optional<FrameMessage> parse(std::string_view text);

    bool operator==(const FrameMessage&) const = default;
};

}  // namespace lumivo
