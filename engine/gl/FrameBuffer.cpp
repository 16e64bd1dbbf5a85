// FrameBuffer and ScreenFrameBuffer: render state kept per target and applied through the
// context's current-framebuffer cache; present() swaps the window's buffers.
#include "engine/gl/FrameBuffer.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/NativeContext.h"

namespace orvex {

FrameBuffer::FrameBuffer(GlContext* context, unsigned name, bool hasDepth)
    : owner(context)
    , token(context->token())
    , glName(name)
    , depth(hasDepth)
{
}

FrameBuffer::~FrameBuffer()
{
    // A target that goes away while current hands the context back to the window, so the
    // cache never names a dead object.
    if (token.alive() && isCurrent() && owner->screenFrameBuffer() != this)
        owner->screenFrameBuffer()->makeCurrent();
}

bool FrameBuffer::isCurrent() const
{
    return owner->currentFrameBuffer() == this;
}

void FrameBuffer::makeCurrent()
{
    owner->makeCurrent();
    if (isCurrent())
        return;
    FrameBuffer* previous = owner->currentFrameBuffer();
    owner->current.frameBuffer = this;
    if ((!previous || previous->name() != glName) && gl::BindFramebuffer)
        gl::BindFramebuffer(GL_FRAMEBUFFER, glName);
    applyAll();
}

void FrameBuffer::applyAll()
{
    applyBlending();
    applyScissor();
    applyViewport();
    applyCullMode();
    applyDepthTest();
}

bool FrameBuffer::shouldApply() const
{
    if (!token.alive() || !isCurrent())
        return false;
    owner->makeCurrent();
    return true;
}

void FrameBuffer::setBlending(bool on)
{
    blend = on;
    if (shouldApply())
        applyBlending();
}

void FrameBuffer::setScissor(Rect rect)
{
    scissorRect = rect;
    scissorOn = true;
    if (shouldApply())
        applyScissor();
}

void FrameBuffer::disableScissor()
{
    scissorOn = false;
    if (shouldApply())
        applyScissor();
}

void FrameBuffer::setViewport(Rect rect)
{
    viewportOverride = rect;
    if (shouldApply())
        applyViewport();
}

void FrameBuffer::resetViewport()
{
    viewportOverride = Rect();
    if (shouldApply())
        applyViewport();
}

void FrameBuffer::setCullMode(int mode)
{
    cull = mode;
    if (shouldApply())
        applyCullMode();
}

void FrameBuffer::setDepthTest(int code)
{
    if (!depth)
        return;
    depthCode = code;
    if (shouldApply())
        applyDepthTest();
}

FrameBuffer::Rect FrameBuffer::viewport() const
{
    if (viewportOverride.x1 != 0 || viewportOverride.y1 != 0)
        return viewportOverride;
    Vector<int, 2> extent = size();
    return {0, 0, extent[0], extent[1]};
}

void FrameBuffer::applyBlending() const
{
    (blend ? gl::Enable : gl::Disable)(GL_BLEND);
}

void FrameBuffer::applyScissor() const
{
    if (!scissorOn) {
        gl::Disable(GL_SCISSOR_TEST);
        return;
    }
    gl::Enable(GL_SCISSOR_TEST);
    gl::Scissor(scissorRect.x0, scissorRect.y0, scissorRect.x1 - scissorRect.x0, scissorRect.y1 - scissorRect.y0);
}

void FrameBuffer::applyViewport() const
{
    Rect area = viewport();
    gl::Viewport(area.x0, area.y0, area.x1 - area.x0, area.y1 - area.y0);
}

void FrameBuffer::applyCullMode() const
{
    if (cull == 0) {
        gl::Disable(GL_CULL_FACE);
        return;
    }
    gl::Enable(GL_CULL_FACE);
    gl::CullFace(cull > 0 ? GL_BACK : GL_FRONT);
}

void FrameBuffer::applyDepthTest() const
{
    if (depthCode == 0) {
        gl::Disable(GL_DEPTH_TEST);
        return;
    }
    static constexpr GLenum functions[] = {GL_LESS, GL_LEQUAL, GL_GREATER, GL_GEQUAL, GL_EQUAL, GL_NOTEQUAL};
    gl::Enable(GL_DEPTH_TEST);
    gl::DepthFunc(depthCode >= 1 && depthCode <= 6 ? functions[depthCode - 1] : GL_NEVER);
}

ScreenFrameBuffer::ScreenFrameBuffer(GlContext* context)
    : FrameBuffer(context, 0, true)
{
}

ScreenFrameBuffer::~ScreenFrameBuffer()
{
    if (isCurrent())
        owner->current.frameBuffer = nullptr;
}

Vector<int, 2> ScreenFrameBuffer::size() const
{
    return {{owner->native()->clientWidth(), owner->native()->clientHeight()}};
}

void ScreenFrameBuffer::present()
{
    if (!token.alive())
        return;
    owner->makeCurrent();
    FrameBuffer* target = owner->currentFrameBuffer();
    const bool offscreen = target && target->name() != 0;
    if (offscreen)
        gl::BindFramebuffer(GL_FRAMEBUFFER, 0);
    owner->native()->swapBuffers();
    if (offscreen)
        gl::BindFramebuffer(GL_FRAMEBUFFER, target->name());
}

} // namespace orvex
