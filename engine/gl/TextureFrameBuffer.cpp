// TextureFrameBuffer: creation checks the driver's limits and GL's own errors, because a texture
// without storage would still make a framebuffer that silently draws nothing. Binding goes through
// FrameBuffer::makeCurrent and its cache only.
#include "engine/gl/TextureFrameBuffer.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/Texture.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvex {

namespace {

constexpr PixelFormat RGBA8 { COMPONENT_UINT8, 4 };

// Errors left over from earlier calls would be blamed on this creation; drops them (bounded, as
// a lost context may report an error forever).
void dropPendingErrors()
{
    for (int i = 0; i < 16 && gl::GetError() != GL_NO_ERROR; ++i) {
    }
}

std::string describe(GLenum error)
{
    switch (error) {
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: return "GL error " + std::to_string(error);
    }
}

TextureFrameBuffer* fail(GlContext* context, std::string text)
{
    context->setLastError("offscreen framebuffer: " + std::move(text));
    return nullptr;
}

} // namespace

TextureFrameBuffer::TextureFrameBuffer(GlContext* context, unsigned name, UniquePtr<Texture2D> color,
                                       Vector<int, 2> size)
    : FrameBuffer(context, name, false)
    , color(std::move(color))
    , extent(size)
{
}

TextureFrameBuffer* TextureFrameBuffer::create(GlContext* context, int width, int height)
{
    if (!gl::GenFramebuffers || !gl::DeleteFramebuffers || !gl::BindFramebuffer || !gl::FramebufferTexture2D)
        return fail(context, "the driver offers no framebuffer objects");
    context->makeCurrent();
    GLint textureLimit = 0;
    GLint viewportLimit[2] = { 0, 0 };
    gl::GetIntegerv(GL_MAX_TEXTURE_SIZE, &textureLimit);
    gl::GetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportLimit);
    const int limit = std::min({ int(textureLimit), int(viewportLimit[0]), int(viewportLimit[1]) });
    if (width <= 0 || height <= 0 || width > limit || height > limit)
        return fail(context, "size " + std::to_string(width) + " x " + std::to_string(height) +
                                 " is outside 1 .. " + std::to_string(limit));

    dropPendingErrors();
    TextureSettings nearest;
    nearest.minFilter = 0;
    nearest.magFilter = 0;
    nearest.wrapS = nearest.wrapT = 1;
    UniquePtr<Texture2D> texture(context->createTexture2D(width, height, RGBA8, 0, nearest));
    if (!texture)
        return fail(context, "no colour texture");
    if (GLenum error = gl::GetError(); error != GL_NO_ERROR)
        return fail(context, "colour texture storage refused (" + describe(error) + ")");
    GLuint name = 0;
    gl::GenFramebuffers(1, &name);
    if (name == 0)
        return fail(context, "glGenFramebuffers gave no name");
    const unsigned textureName = texture->name();
    UniquePtr<TextureFrameBuffer> target(new TextureFrameBuffer(context, name, std::move(texture), { { width, height } }));

    // Attaching needs the framebuffer bound; the previous target (the window's when there was
    // none) is made current again afterwards, so the cache stays true.
    FrameBuffer* previous = context->currentFrameBuffer();
    target->makeCurrent();
    gl::FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textureName, 0);
    const GLenum error = gl::GetError();
    (previous ? previous : context->screenFrameBuffer())->makeCurrent();
    if (error != GL_NO_ERROR)
        return fail(context, "attaching the colour texture failed (" + describe(error) + ")");
    return target.release();
}

TextureFrameBuffer::~TextureFrameBuffer()
{
    if (!token.alive())
        return;
    if (isCurrent())
        owner->screenFrameBuffer()->makeCurrent();
    // Framebuffer objects belong to one context, not to the share group.
    owner->makeCurrent();
    const GLuint glName = name();
    gl::DeleteFramebuffers(1, &glName);
}

Image TextureFrameBuffer::readPixels()
{
    Image image(RGBA8, extent[0], extent[1]);
    if (!token.alive())
        return image;
    makeCurrent();
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::ReadPixels(0, 0, extent[0], extent[1], GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    // GL delivers the bottom row first.
    const size_t stride = size_t(extent[0]) * 4;
    std::vector<uint8_t> spare(stride);
    for (int top = 0, bottom = extent[1] - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = image.data() + size_t(top) * stride;
        uint8_t* b = image.data() + size_t(bottom) * stride;
        std::memcpy(spare.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, spare.data(), stride);
    }
    return image;
}

} // namespace orvex
