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
        if (held_) {  // its texture went with the node
            link_.release(held_->frame.id, held_->frame.slot);
            held_.reset();
        }
    }
    if (pending_) {
        const Shown& next = *pending_;
        // The image refers to the shared memory and keeps the mapping alive
        // until the texture has taken its pixels (uploaded on the render
        // thread after this call returns).
        auto* keep = new std::shared_ptr<MappedCanvas>(next.canvas);
        const QImage image(
            next.canvas->pixels(next.frame), next.frame.width, next.frame.height,
            next.canvas->message().stride, QImage::Format_RGB32,
            [](void* info) { delete static_cast<std::shared_ptr<MappedCanvas>*>(info); }, keep);
        QSGTexture* texture = window()->createTextureFromImage(image);
        if (texture != nullptr) {
            if (node == nullptr) {
                node = new QSGSimpleTextureNode;
                node->setOwnsTexture(true);
                node->setFiltering(QSGTexture::Linear);
            }
            node->setTexture(texture);
            // The previous picture was uploaded during the last frame, which
            // ended before this call: its slot may be drawn into again.
            if (held_) {
                link_.release(held_->frame.id, held_->frame.slot);
            }
            held_ = pending_;
        } else {
            link_.release(next.frame.id, next.frame.slot);
        }
        pending_.reset();
    }
    if (node != nullptr) {
        node->setRect(boundingRect());
    }
    return node;
}

}  // namespace lumivo
