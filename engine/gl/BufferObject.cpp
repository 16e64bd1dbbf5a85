// Buffer storage goes through GL_ARRAY_BUFFER: that binding is not part of any vertex array's
// state, so uploading never disturbs the bound vertex array.
#include "engine/gl/BufferObject.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"

#include <utility>

namespace orvex {

unsigned bufferUsage(int usageCode)
{
    static constexpr unsigned usages[] = { GL_STATIC_DRAW, GL_DYNAMIC_DRAW, GL_STREAM_DRAW,
                                           GL_STATIC_READ, GL_DYNAMIC_READ, GL_STREAM_READ,
                                           GL_STATIC_COPY, GL_DYNAMIC_COPY, GL_STREAM_COPY };
    return usageCode >= 0 && usageCode < 9 ? usages[usageCode] : GL_STATIC_DRAW;
}

BufferObject::BufferObject(GlContext* context, unsigned name, int usageCode)
    : owner(context), token(context->token()), bufferName(name), glUsage(bufferUsage(usageCode)), type(GL_INVALID_ENUM)
{
}

BufferObject::BufferObject(BufferObject&& other) noexcept
    : owner(other.owner), token(other.token), bufferName(std::exchange(other.bufferName, 0)), glUsage(other.glUsage),
      type(other.type), isNormalized(other.isNormalized), count(other.count), size(other.size)
{
}

BufferObject::~BufferObject()
{
    if (bufferName == 0 || !token.alive())
        return;
    owner->makeShareCurrent();
    gl::DeleteBuffers(1, &bufferName);
}

void BufferObject::allocate(size_t floatCount) { store(nullptr, floatCount); }

void BufferObject::upload(const float* floats, size_t floatCount) { store(floats, floatCount); }

void BufferObject::store(const float* floats, size_t floatCount)
{
    owner->makeCurrent();
    gl::BindBuffer(GL_ARRAY_BUFFER, bufferName);
    gl::BufferData(GL_ARRAY_BUFFER, GLsizeiptr(floatCount * sizeof(float)), floats, glUsage);
    type = GL_FLOAT;
    size = sizeof(float);
    count = floatCount;
}

void BufferObject::update(size_t firstFloat, const float* floats, size_t floatCount)
{
    owner->makeCurrent();
    gl::BindBuffer(GL_ARRAY_BUFFER, bufferName);
    gl::BufferSubData(GL_ARRAY_BUFFER, GLintptr(firstFloat * sizeof(float)), GLsizeiptr(floatCount * sizeof(float)), floats);
}

} // namespace orvex
