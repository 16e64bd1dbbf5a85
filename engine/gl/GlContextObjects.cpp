// GlContext factories of GPU data objects: buffers, vertex arrays (native or emulated, as the
// driver allows), textures and buffer textures. Each returns null when GL cannot provide the
// object; texture creation itself lives with the texture classes.
#include "engine/gl/BufferObject.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "engine/gl/VertexArray.h"

namespace orvex {

BufferObject* GlContext::createBuffer(int usage)
{
    makeShareCurrent();
    GLuint name = 0;
    gl::GenBuffers(1, &name);
    if (name == 0)
        return nullptr;
    return new BufferObject(this, name, usage);
}

BufferObject* GlContext::createBuffer(size_t floatCount, int usage)
{
    BufferObject* buffer = createBuffer(usage);
    if (buffer)
        buffer->allocate(floatCount);
    return buffer;
}

BufferObject* GlContext::createBuffer(const std::vector<float>& floats, int usage)
{
    BufferObject* buffer = createBuffer(usage);
    if (buffer)
        buffer->upload(floats);
    return buffer;
}

VertexArray* GlContext::createVertexArray()
{
    UniquePtr<VertexArrayObject> vao;
    if (gl::hasVertexArrayObjects) {
        // Vertex array objects belong to one context, not to the share group.
        makeCurrent();
        GLuint name = 0;
        gl::GenVertexArrays(1, &name);
        if (name == 0)
            return nullptr;
        vao.reset(new VertexArrayObject_native(this, name));
    } else {
        vao.reset(new VertexArrayObject_virtual(this));
    }
    return new VertexArray(this, std::move(vao));
}

Texture1D* GlContext::createTexture1D(const ImageView& image, int formatFlags, const TextureSettings& settings)
{
    return Texture1D::create(this, image, formatFlags, settings);
}

Texture2D* GlContext::createTexture2D(const ImageView& image, int formatFlags, const TextureSettings& settings)
{
    return Texture2D::create(this, image, formatFlags, settings);
}

Texture2D* GlContext::createTexture2D(int width, int height, PixelFormat format, int formatFlags,
                                      const TextureSettings& settings)
{
    return Texture2D::create(this, ImageView { format, nullptr, width, height }, formatFlags, settings);
}

TextureBuffer* GlContext::createTextureBuffer(int usage) { return TextureBuffer::create(this, usage); }

TextureBuffer* GlContext::createTextureBuffer(const std::vector<Vector<float, 3>>& data, int usage)
{
    TextureBuffer* buffer = TextureBuffer::create(this, usage);
    if (buffer)
        buffer->upload(data);
    return buffer;
}

} // namespace orvex
