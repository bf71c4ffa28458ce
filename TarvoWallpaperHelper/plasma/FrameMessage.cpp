#include "FrameMessage.hpp"

#include <charconv>
#include <vector>

namespace lumivo {
namespace {

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// A plain decimal number in [low, high]: no sign, no spaces, no leading zeros
// beyond "0" itself.
template <typename T>
bool number(std::string_view word, T low, T high, T& out) {
    if (word.empty() || (word.size() > 1 && word[0] == '0')) {
        return false;
    }
    T value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

constexpr int maxId = 1 << 30;

}  // namespace

std::size_t FrameMessage::slotBytes() const {
    if (stride <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
}

std::string FrameMessage::text() const {
    auto n = [](long long value) { return std::to_string(value); };
    switch (kind) {
        case Kind::canvas:
            return "canvas " + n(id) + " " + n(width) + " " + n(height) + " " + n(stride) + " " +
                   n(slotCount);
        case Kind::frame:
            return "frame " + n(id) + " " + n(slot) + " " + n(x) + " " + n(y) + " " + n(width) +
                   " " + n(height);
        case Kind::clear:
            return "clear";
        case Kind::hello:
            return "hello " + n(version) + " " + n(desktop);
        case Kind::covered:
            return covered ? "covered 1" : "covered 0";
        case Kind::release:
            return "release " + n(id) + " " + n(slot);
    }
    return {};
}

std::optional<FrameMessage> FrameMessage::parse(std::string_view text) {
    if (text.empty() || text.size() > maxSize) {
        return std::nullopt;
    }
    const std::vector<std::string_view> w = words(text);
    FrameMessage m;
    const std::string_view verb = w[0];
    bool ok = false;
    if (verb == "canvas" && w.size() == 6) {
        m.kind = Kind::canvas;
        ok = number(w[1], 0, maxId, m.id) && number(w[2], 1, maxSide, m.width) &&
             number(w[3], 1, maxSide, m.height) && number(w[4], 1, maxSide * 4, m.stride) &&
             number(w[5], 1, maxSlots, m.slotCount) && m.stride >= m.width * 4;
    } else if (verb == "frame" && w.size() == 7) {
        m.kind = Kind::frame;
        ok = number(w[1], 0, maxId, m.id) && number(w[2], 0, maxSlots - 1, m.slot) &&
             number(w[3], 0, maxSide - 1, m.x) && number(w[4], 0, maxSide - 1, m.y) &&
             number(w[5], 1, maxSide, m.width) && number(w[6], 1, maxSide, m.height) &&
             m.x + m.width <= maxSide && m.y + m.height <= maxSide;
    } else if (verb == "clear" && w.size() == 1) {
        m.kind = Kind::clear;
        ok = true;
    } else if (verb == "hello" && w.size() == 3) {
        m.kind = Kind::hello;
        ok = number(w[1], 1, maxId, m.version) && number(w[2], 0LL, (1LL << 53), m.desktop);
    } else if (verb == "covered" && w.size() == 2) {
        m.kind = Kind::covered;
        ok = w[1] == "0" || w[1] == "1";
        m.covered = w[1] == "1";
    } else if (verb == "release" && w.size() == 3) {
        m.kind = Kind::release;
        ok = number(w[1], 0, maxId, m.id) && number(w[2], 0, maxSlots - 1, m.slot);
    }
    if (!ok) {
        return std::nullopt;
    }
    return m;
}

}  // namespace lumivo
