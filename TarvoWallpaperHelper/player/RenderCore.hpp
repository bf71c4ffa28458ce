#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Outputs.hpp"
#include "RenderPath.hpp"
#include "ScreenLayout.hpp"

namespace lumivo {

class MpvPlayer;

// One video decoded once and drawn on every output of a layout: renders when
// mpv says a frame is due, once per canvas, and shows each output its part.
// Covered outputs are skipped; pausing stops the decode and keeps the frame.
// GUI thread only; the Outputs the layout's outputs belong to must outlive it.
class RenderCore : public QObject {
    Q_OBJECT
  public:
    // Starts playing `file` through `path`. Failures come as playbackFailed.
    RenderCore(const std::filesystem::path& file, std::unique_ptr<RenderPath> path);
    ~RenderCore() override;

    // Shows the video per `layout` on `outputs` (parallel to its placements)
    // and draws the current frame at once. Throws std::exception when the
    // canvases cannot be had.
    void setLayout(const ScreenLayout& layout, const std::vector<Output*>& outputs);
    // Pauses (mpv pause=yes) or resumes from the same frame.
    void setPaused(bool paused);
    // A covered monitor (by name) is not drawn on until uncovered.
    void setCovered(const std::string& monitor, bool covered);
    // Draws the current frame again (a surface lost its picture).
    void redraw();
    // Renders the current frame anew, paused or not, rather than showing the
    // picture the path holds, which may have been lost too (a GPU's memory
    // over a suspend), and draws it.
    void repaint();

    const RenderPath& path() const { return *path_; }
    // Frames drawn since start (each shown on every uncovered output).
    long framesDrawn() const { return framesDrawn_; }

  signals:
    void firstFrameShown();
    // mpv cannot play the file, or a frame could not be drawn; in the second
    // case nothing is drawn until the next setLayout(). Once per failure.
    void playbackFailed(const QString& reason);

  private:
    void frameDue();
    void draw();
    void giveUp(const std::exception& error);

    std::unique_ptr<RenderPath> path_;
    std::unique_ptr<MpvPlayer> mpv_;  // after path_: freed before it
    ScreenLayout layout_;
    std::vector<Output*> outputs_;
    std::set<std::string> covered_;
    long framesDrawn_ = 0;
};

}  // namespace lumivo
