#include "FrameView.hpp"

#include <QMetaObject>
#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <utility>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include "FrameTexture.hpp"
#endif

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
    setOpaque(false);
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
    if (node == nullptr) {
        // The scene graph dropped the node and its texture (the window's
        // graph was rebuilt, or the item moved to another window): the frame
        // on screen is shown again unless a newer one waits.
        reused_ = nullptr;
        if (held_ && !pending_ && !clear_) {
            pending_ = std::move(held_);
            held_.reset();
        }
    }
    if (clear_) {
        clear_ = false;
        delete node;
        node = nullptr;
        reused_ = nullptr;
        if (held_) {
            link_.release(held_->frame.id, held_->frame.slot);
            held_.reset();
        }
    }
    if (pending_) {
        const Shown next = *pending_;
        pending_.reset();
        if (node == nullptr) {
            node = new QSGSimpleTextureNode;
            node->setOwnsTexture(true);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
            if (FrameTexture::usable()) {
                reused_ = new FrameTexture;
                node->setTexture(reused_);
            }
#endif
        }
        bool placed = false;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        if (reused_ != nullptr) {
            // Not setTexture again: an owning node deletes its old texture
            // there, even when it is the same one.
            reused_->setImage(sharedImage(next));
            node->markDirty(QSGNode::DirtyMaterial);
            placed = true;
        }
#endif
        if (!placed) {
            if (QSGTexture* texture = window()->createTextureFromImage(sharedImage(next))) {
                node->setTexture(texture);
                placed = true;
            }
        }
        if (!placed) {
            link_.release(next.frame.id, next.frame.slot);
        } else {
            // The texture takes its pixels while the scene renders, after this
            // call; the picture before was taken during the last frame, which
            // ended before it: its slot may be drawn into again.
            if (held_) {
                link_.release(held_->frame.id, held_->frame.slot);
            }
            held_ = next;
        }
        if (reused_ != nullptr && !opaque_) {
            QMetaObject::invokeMethod(this, &FrameView::checkOpaque, Qt::QueuedConnection);
        }
    }
    if (node != nullptr && node->texture() == nullptr) {
        delete node;  // no texture could be made for the first frame
        node = nullptr;
        reused_ = nullptr;
    }
    if (node != nullptr) {
        node->setRect(boundingRect());
        // Pixel for pixel, as the helper draws each desktop at its size,
        // sampling the nearest texel gives the same picture for less work.
        const QSize pixels = (size() * window()->effectiveDevicePixelRatio()).toSize();
        node->setFiltering(pixels == node->texture()->textureSize() ? QSGTexture::Nearest
                                                                    : QSGTexture::Linear);
    }
    return node;
}

void FrameView::checkOpaque() {
    // Runs on the GUI thread, outside the scene graph's sync: held_ and reused_
    // are only changed during the sync.
    setOpaque(held_.has_value() && reused_ != nullptr);
}

void FrameView::setOpaque(bool opaque) {
    if (opaque != opaque_) {
        opaque_ = opaque;
        emit opaqueChanged();
    }
}

QImage FrameView::sharedImage(const Shown& shown) {
    // The renderer leaves the fourth byte of each pixel undefined. Read as
    // premultiplied alpha and blended over the opaque black below the item,
    // any value of it gives the frame's own colour and an opaque window
    // (colour + black * (1 - a), alpha a + 1 * (1 - a)), without a pass
    // over the pixels. The image keeps the mapping alive as long as the
    // texture holds it.
    auto* keep = new std::shared_ptr<MappedCanvas>(shown.canvas);
    return QImage(
        shown.canvas->pixels(shown.frame), shown.frame.width, shown.frame.height,
        shown.canvas->message().stride, QImage::Format_ARGB32_Premultiplied,
        [](void* info) { delete static_cast<std::shared_ptr<MappedCanvas>*>(info); }, keep);
}

}  // namespace lumivo
