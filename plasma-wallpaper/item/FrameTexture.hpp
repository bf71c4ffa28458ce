#pragma once

#include <QImage>
#include <QSGTexture>
#include <QSize>

namespace lumivo {

// Plasma 5 (Qt 5, OpenGL): one texture for the life of a FrameView's node,
// refilled in place with each frame instead of a new texture per frame, and
// read as opaque (its alpha swizzled to one), so that the scene graph draws
// the frame without blending and needs no black beneath it. The helper leaves
// each pixel's fourth byte undefined. Only where `usable()`.
class FrameTexture : public QSGTexture {
  public:
    // Whether the current OpenGL context can hold one: desktop OpenGL 3.3, or
    // an older one with ARB_texture_swizzle. False without a current context.
    static bool usable();

    FrameTexture() = default;
    ~FrameTexture() override;
    FrameTexture(const FrameTexture&) = delete;
    FrameTexture& operator=(const FrameTexture&) = delete;

    // The next frame, in the helper's B, G, R, X bytes; uploaded at the next
    // bind, and the image (with the memory it maps) released then.
    void setImage(const QImage& image);

    int textureId() const override { return static_cast<int>(id_); }
    // The size of the last image given, uploaded or not.
    QSize textureSize() const override { return nextSize_; }
    bool hasAlphaChannel() const override { return false; }
    bool hasMipmaps() const override { return false; }
    void bind() override;

  private:
    unsigned int id_ = 0;
    QSize size_;      // of the texture's storage
    QSize nextSize_;  // of the image to upload
    QImage next_;
};

}  // namespace lumivo
