// TextureFrameBuffer: an offscreen render target — a GL framebuffer object whose only attachment
// is an RGBA colour texture of a fixed size (8 bits per channel, no depth). Drawing goes to it
// while it is the context's current target (FrameBuffer::makeCurrent); readPixels() copies the
// picture back to the CPU. Needs the framebuffer-object family (gl::GenFramebuffers). Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/FrameBuffer.h"
#include "engine/gl/PixelFormat.h"

#include <string>

namespace orvex {

class Texture2D;

class TextureFrameBuffer final : public FrameBuffer {
public:
    // A target of `width` x `height` pixels on `context`; null when the driver has no framebuffer
    // objects, the size is not positive or above the driver's limit, or GL refuses the storage.
    // The reason then goes to the context's lastError(). Afterwards the previous target is
    // current again (the window's, when there was none).
    static TextureFrameBuffer* create(GlContext* context, int width, int height);
    // Hands the context back to the window if this target is current, then deletes the GL
    // framebuffer (the texture goes with its own wrapper).
    ~TextureFrameBuffer() override;

    Vector<int, 2> size() const override { return extent; }
    Texture2D& colorTexture() const { return *color; }

    // The whole picture as RGBA bytes, top row first (GL's row 0 is the bottom one). Makes this
    // target current, as drawing would.
    Image readPixels();

private:
    TextureFrameBuffer(GlContext* context, unsigned name, UniquePtr<Texture2D> color, Vector<int, 2> size);

    UniquePtr<Texture2D> color;
    Vector<int, 2> extent;
};

} // namespace orvex
