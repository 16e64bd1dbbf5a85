// TextureBuffer: a buffer texture, i.e. a GL buffer of three-float texels that shaders fetch by
// index (texelFetch on a samplerBuffer). It owns both the texture and the buffer names.
// Needs the driver's texture buffers (gl::hasTextureBuffers). Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/Texturelike.h"

#include <cstddef>
#include <vector>

namespace orvex {

class TextureBuffer final : public Texturelike {
public:
    // Null without texture buffers or when a GL name cannot be generated.
    static TextureBuffer* create(GlContext* context, int usageCode);
    ~TextureBuffer() override;

    // New content: one GL_RGB32F texel per vector.
    void upload(const std::vector<Vector<float, 3>>& texels);

    unsigned buffer() const { return bufferName; }
    unsigned usage() const { return glUsage; }
    unsigned internalFormat() const { return format; } // GL_INVALID_ENUM until data is given
    size_t elementCount() const { return count; }
    size_t elementSize() const { return size; }

private:
    TextureBuffer(GlContext* context, unsigned texture, unsigned buffer, int usageCode);

    unsigned bufferName;
    unsigned glUsage;
    unsigned format;
    size_t count = 0;
    size_t size = 0;
};

} // namespace orvex
