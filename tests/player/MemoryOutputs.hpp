#pragma once

#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Outputs.hpp"
#include "PlainOutput.hpp"

namespace lumivo {

// A display backend without a display, for the player's tests: one 64x36
// monitor (or those of Options::monitors) with surfaces that are always
// ready, and canvases in plain memory that count what they show.
class MemoryOutputs : public Outputs {
  public:
    struct Options {
        bool hardwareGl = false;    // what mayOfferHardwareGl() says
        bool rowsTooShort = false;  // canvases claim rows 4 bytes too short, which mpv refuses
        bool broken = false;        // the connection failed: lost() follows the first draw
        std::vector<Monitor> monitors{{"MEM-1", {0, 0, 64, 36}, true}};
    };

    MemoryOutputs() : MemoryOutputs(Options{}) {}
    explicit MemoryOutputs(Options options) : options_(std::move(options)) {
        for (const Monitor& monitor : options_.monitors) {
            outputs_.push_back(std::make_unique<PlainOutput>(monitor));
        }
    }

    std::vector<Monitor> monitors() const override { return options_.monitors; }
    std::vector<Output*> showOn(const std::vector<std::size_t>& shown) override {
        shown_.clear();
        for (const std::size_t i : shown) {
            shown_.push_back(outputs_.at(i).get());
        }
        return shown_;
    }
    std::vector<bool> hidden() const override { return hiddenFlags; }
    std::optional<std::string> focusedMonitor() const override { return focused; }
    std::unique_ptr<FrameBuffer> createFrameBuffer(int width, int height) override {
        return std::make_unique<MemoryCanvas>(*this, width, height);
    }
    EglNativeDisplay eglDisplay() const override {
        ++eglAsked;
        return {};
    }
    bool mayOfferHardwareGl() const override { return options_.hardwareGl; }
    bool connected() const override { return !options_.broken; }

    mutable int eglAsked = 0;                // OpenGL was tried this often
    int acquired = 0;                        // canvases handed to the renderer
    int presented = 0;                       // pictures shown on the surfaces
    std::map<std::string, int> presentedOn;  // by monitor name
    std::optional<std::string> focused;      // what focusedMonitor() says
    std::vector<bool> hiddenFlags;           // what hidden() says

  private:
    // Where the connection broke, a real backend finds out on its own, soon
    // and once: here half a second after the first draw began, well after
    // the draw's failure is reported.
    void breakSoon() {
        if (options_.broken && !told_) {
            told_ = true;
            QTimer::singleShot(500, this,
                               [this] { emit lost(QStringLiteral("the memory went away")); });
        }
    }

    class MemoryCanvas : public FrameBuffer {
      public:
        MemoryCanvas(MemoryOutputs& owner, int width, int height)
            : owner_(owner),
              width_(width),
              height_(height),
              pixels_(static_cast<std::size_t>(width) * height * 4) {}
        int width() const override { return width_; }
        int height() const override { return height_; }
        std::size_t stride() const override {
            return static_cast<std::size_t>(width_) * 4 - (owner_.options_.rowsTooShort ? 4 : 0);
        }
        std::uint8_t* acquire() override {
            ++owner_.acquired;
            owner_.breakSoon();
            return pixels_.data();
        }
        void present(const Output& output, const Rect&) override {
            for (const Output* shown : owner_.shown_) {
                if (&output == shown) {
                    ++owner_.presented;
                    ++owner_.presentedOn[output.monitor().name];
                }
            }
        }

      private:
        MemoryOutputs& owner_;
        int width_, height_;
        std::vector<std::uint8_t> pixels_;
    };

    Options options_;
    bool told_ = false;
    std::vector<std::unique_ptr<PlainOutput>> outputs_;
    std::vector<Output*> shown_;  // of the last showOn
};

}  // namespace lumivo
