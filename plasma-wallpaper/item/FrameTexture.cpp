#include "FrameTexture.hpp"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace lumivo {
namespace {

// From OpenGL 3.3 and ARB_texture_swizzle; not in Qt's OpenGL ES headers.
constexpr GLenum kTextureSwizzleA = 0x8E45;
constexpr GLenum kBgra = 0x80E1;
constexpr GLenum kUnpackRowLength = 0x0CF2;

}  // namespace

bool FrameTexture::usable() {
    const QOpenGLContext* context = QOpenGLContext::currentContext();
    if (context == nullptr || context->isOpenGLES()) {
        return false;
    }
    const QPair<int, int> version = context->format().version();
    return version >= qMakePair(3, 3) ||
           context->hasExtension(QByteArrayLiteral("GL_ARB_texture_swizzle"));
}

FrameTexture::~FrameTexture() {
    // The scene graph deletes its nodes, and their textures, on its render
    // thread with the context current.
    if (id_ != 0 && QOpenGLContext::currentContext() != nullptr) {
        QOpenGLContext::currentContext()->functions()->glDeleteTextures(1, &id_);
    }
}

void FrameTexture::setImage(const QImage& image) {
    next_ = image;
    nextSize_ = image.size();
}

void FrameTexture::bind() {
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    if (id_ == 0) {
        gl->glGenTextures(1, &id_);
        gl->glBindTexture(GL_TEXTURE_2D, id_);
        gl->glTexParameteri(GL_TEXTURE_2D, kTextureSwizzleA, GL_ONE);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    } else {
        gl->glBindTexture(GL_TEXTURE_2D, id_);
    }
    if (!next_.isNull()) {
        gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl->glPixelStorei(kUnpackRowLength, next_.bytesPerLine() / 4);
        if (nextSize_ != size_) {
            gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, nextSize_.width(), nextSize_.height(), 0,
                             kBgra, GL_UNSIGNED_BYTE, next_.constBits());
            size_ = nextSize_;
        } else {
            gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size_.width(), size_.height(), kBgra,
                                GL_UNSIGNED_BYTE, next_.constBits());
        }
        gl->glPixelStorei(kUnpackRowLength, 0);
        // OpenGL has copied the pixels: the frame's slot is free for the
        // helper once FrameView releases it.
        next_ = QImage();
    }
    updateBindOptions(true);
}

}  // namespace lumivo
