// The buffer is filled through GL_TEXTURE_BUFFER, which no vertex array records, and attached to
// the texture with the texture bound only for that call.
#include "engine/gl/TextureBuffer.h"

#include "engine/gl/BufferObject.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"

namespace orvex {

TextureBuffer* TextureBuffer::create(GlContext* context, int usageCode)
{
    if (!gl::hasTextureBuffers)
        return nullptr;
    context->makeCurrent();
    GLuint buffer = 0;
    gl::GenBuffers(1, &buffer);
    if (buffer == 0)
        return nullptr;
    GLuint texture = 0;
    gl::GenTextures(1, &texture);
    if (texture == 0) {
        gl::DeleteBuffers(1, &buffer);
        return nullptr;
    }
    return new TextureBuffer(context, texture, buffer, usageCode);
}

TextureBuffer::TextureBuffer(GlContext* context, unsigned texture, unsigned buffer, int usageCode)
    : Texturelike(context, texture, GL_TEXTURE_BUFFER), bufferName(buffer), glUsage(bufferUsage(usageCode)),
      format(GL_INVALID_ENUM)
{
}

TextureBuffer::~TextureBuffer()
{
    // The texture itself goes in ~Texturelike.
    if (!token.alive())
        return;
    owner->makeShareCurrent();
    gl::DeleteBuffers(1, &bufferName);
}

void TextureBuffer::upload(const std::vector<Vector<float, 3>>& texels)
{
    static_assert(sizeof(Vector<float, 3>) == 12, "texels are three packed floats");
    owner->makeCurrent();
    gl::BindBuffer(GL_TEXTURE_BUFFER, bufferName);
    gl::BufferData(GL_TEXTURE_BUFFER, GLsizeiptr(texels.size() * 12), texels.data(), glUsage);
    gl::BindTexture(GL_TEXTURE_BUFFER, name());
    gl::TexBuffer(GL_TEXTURE_BUFFER, GL_RGB32F, bufferName);
    restoreBinding();
    format = GL_RGB32F;
    size = 12;
    count = texels.size();
}

} // namespace orvex
