#include "FrameView.hpp"

#include <QQuickWindow>
#include <QSGSimpleTextureNode>

namespace lumivo {

FrameView::FrameView(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents, true);
    connect(&link_, &FrameLink::frameArrived, this, &FrameView::frameArrived);
    connect(&link_, &FrameLink::cleared, this, &FrameView::cleared);
    connect(&link_, &FrameLink::connectedChanged, this, &FrameView::connectedChanged);
}

void FrameView::setDesktop(const QString& desktop) {
    if (desktop == desktop_) {
        return;
    }
    desktop_ = desktop;
    emit desktopChanged();
    bool ok = false;
    const long long id = desktop.toLongLong(&ok);
    if (ok && id >= 0) {
        link_.start(id);
    }
}

void FrameView::setCovered(bool covered) {
    if (covered == covered_) {
        return;
    }
    covered_ = covered;
    link_.setCovered(covered);
    emit coveredChanged();
}

void FrameView::frameArrived(std::shared_ptr<MappedCanvas> canvas, FrameMessage frame) {
    if (pending_) {
        // Replaced before it was ever drawn (the window is not rendering).
        link_.release(pending_->frame.id, pending_->frame.slot);
    }
    pending_ = Shown{std::move(canvas), frame};
    clear_ = false;
    setShowing(true);
    update();
}

void FrameView::cleared() {
    if (pending_) {
        link_.release(pending_->frame.id, pending_->frame.slot);
        pending_.reset();
    }
    clear_ = true;
    setShowing(false);
    update();
}

void FrameView::setShowing(bool showing) {
    if (showing != showing_) {
        showing_ = showing;
        emit showingChanged();
    }
}

QSGNode* FrameView::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* node = static_cast<QSGSimpleTextureNode*>(old);
    if (clear_) {
        clear_ = false;
        delete node;
        node = nullptr;
    }
    if (pending_) {
        const Shown next = *pending_;
        pending_.reset();
        QSGTexture* texture = window()->createTextureFromImage(opaqueCopy(next));
        // The copy is the texture's: the slot may be drawn into again.
        link_.release(next.frame.id, next.frame.slot);
        if (texture != nullptr) {
            if (node == nullptr) {
                node = new QSGSimpleTextureNode;
                node->setOwnsTexture(true);
                node->setFiltering(QSGTexture::Linear);
            }
            node->setTexture(texture);
        }
    }
    if (node != nullptr) {
        node->setRect(boundingRect());
    }
    return node;
}

QImage FrameView::opaqueCopy(const Shown& shown) {
    // The renderer leaves the fourth byte of each pixel undefined. Drawn as it
    // is, it would become the desktop window's alpha, and the compositor would
    // blend the wallpaper with whatever lies below; so it is set while copying.
    const FrameMessage& frame = shown.frame;
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    const std::size_t stride = static_cast<std::size_t>(shown.canvas->message().stride);
    const std::uint8_t* row = shown.canvas->pixels(frame);
    for (int y = 0; y < frame.height; ++y, row += stride) {
        const auto* from = reinterpret_cast<const std::uint32_t*>(row);
        auto* to = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < frame.width; ++x) {
            to[x] = from[x] | 0xFF000000u;
        }
    }
    return image;
}

}  // namespace lumivo
