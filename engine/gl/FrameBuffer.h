// FrameBuffer: a render target of a GlContext together with the render state the engine applies
// while it is the context's current target (blending, scissor, viewport, face culling, depth
// test). The state is stored always and sent to GL only while this target is current, so each
// target keeps its own. ScreenFrameBuffer (same file pair) is the window's own framebuffer.
// Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/ContextToken.h"

namespace orvex {

class GlContext;

class FrameBuffer {
public:
    // A rectangle by its corners, in pixels from the bottom-left: (x0, y0) inclusive, (x1, y1)
    // exclusive.
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool operator==(const Rect&) const = default;
    };

    virtual ~FrameBuffer();
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    GlContext* context() const { return owner; }
    unsigned name() const { return glName; } // 0 = the window
    virtual Vector<int, 2> size() const = 0;
    bool hasDepth() const { return depth; }
    bool isCurrent() const;

    // Makes the context current and this its current target: binds it unless it already is
    // bound and applies its whole render state.
    void makeCurrent();

    void setBlending(bool on);
    void setScissor(Rect rect);
    void disableScissor();
    // A viewport other than the whole target; viewport() reports it while (x1, y1) != (0, 0).
    void setViewport(Rect rect);
    void resetViewport();
    // 0 no culling, 1 back faces, -1 front faces.
    void setCullMode(int mode);
    // 0 off; 1 LESS, 2 LEQUAL, 3 GREATER, 4 GEQUAL, 5 EQUAL, 6 NOTEQUAL, other NEVER. Ignored
    // without a depth buffer.
    void setDepthTest(int code);
    Rect viewport() const;

    bool blending() const { return blend; }
    bool scissorEnabled() const { return scissorOn; }
    Rect scissor() const { return scissorRect; }
    int cullMode() const { return cull; }
    int depthTest() const { return depthCode; }

protected:
    FrameBuffer(GlContext* context, unsigned name, bool hasDepth);
    // Binds `name` as GL_FRAMEBUFFER and its whole state; the context is current.
    void applyAll();

    GlContext* owner;
    ContextToken token;

private:
    bool shouldApply() const;
    void applyBlending() const;
    void applyScissor() const;
    void applyViewport() const;
    void applyCullMode() const;
    void applyDepthTest() const;

    unsigned glName;
    bool depth;
    Rect viewportOverride;
    Rect scissorRect;
    bool scissorOn = false;
    bool blend = false;
    int depthCode = 0;
    int cull = 0;
};

// The window's framebuffer: GL name 0, the native window's client size, with depth. One per
// GlContext, owned by it.
class ScreenFrameBuffer final : public FrameBuffer {
public:
    explicit ScreenFrameBuffer(GlContext* context);
    ~ScreenFrameBuffer() override;
    Vector<int, 2> size() const override;

    // Shows the frame: swaps the window's buffers with framebuffer 0 bound, then rebinds the
    // context's current target if that is another framebuffer.
    void present();
};

} // namespace orvex
