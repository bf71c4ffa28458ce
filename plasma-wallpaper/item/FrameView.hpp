#pragma once

#include <QImage>
#include <QQuickItem>
#include <memory>
#include <mutex>
#include <optional>

#include "FrameLink.hpp"

namespace lumivo {

class FrameTexture;

// The QML item of the Plasma wallpaper package (FrameView in the module
// app.lumivo.wallpaper): shows the helper's frames for one desktop, scaled to
// the item, and tells the helper whether windows cover it. Draws nothing
// until the first frame and after the helper clears it or goes away. Must lie
// over opaque black unless `opaque` (see sharedImage()).
class FrameView : public QQuickItem {
    Q_OBJECT
    // The containment id the helper wrote into the wallpaper's configuration
    // ("Desktop"); nothing connects before it is set.
    Q_PROPERTY(QString desktop READ desktop WRITE setDesktop NOTIFY desktopChanged)
    Q_PROPERTY(bool covered READ covered WRITE setCovered NOTIFY coveredChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(bool showing READ showing NOTIFY showingChanged)
    // Whether the frame on screen is drawn opaque (see FrameTexture), so that
    // nothing beneath this item needs drawing.
    Q_PROPERTY(bool opaque READ opaque NOTIFY opaqueChanged)

  public:
    explicit FrameView(QQuickItem* parent = nullptr);

    QString desktop() const { return desktop_; }
    void setDesktop(const QString& desktop);
    bool covered() const { return covered_; }
    void setCovered(bool covered);
    bool connected() const { return link_.connected(); }
    bool showing() const { return showing_; }
    bool opaque() const { return opaque_; }

  signals:
    void desktopChanged();
    void coveredChanged();
    void connectedChanged();
    void showingChanged();
    void opaqueChanged();

  protected:
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;

  private:
    struct Shown {
        std::shared_ptr<MappedCanvas> canvas;
        FrameMessage frame;
    };
    void frameArrived(std::shared_ptr<MappedCanvas> canvas, FrameMessage frame);
    void cleared();
    void setShowing(bool showing);
    void setOpaque(bool opaque);
    void checkOpaque();
    // The frame's pixels where the helper drew them, for a texture.
    static QImage sharedImage(const Shown& shown);

    QString desktop_;
    bool covered_ = false;
    bool showing_ = false;
    bool opaque_ = false;
    FrameLink link_;
    // Read by the scene graph while the GUI thread waits for it. A frame's
    // slot is released once the next one is on screen, or when a later frame
    // replaces it before it was drawn.
    std::optional<Shown> pending_;
    std::optional<Shown> held_;  // on screen
    bool clear_ = false;
    // The node's texture when it is refilled in place (Plasma 5's OpenGL);
    // owned by the node.
    FrameTexture* reused_ = nullptr;
};

}  // namespace lumivo
