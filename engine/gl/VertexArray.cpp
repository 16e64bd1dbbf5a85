// Drawing: the vertex array is bound through the context's cache and patch sizes are sent only
// when they change, so consecutive draws of the same kind issue little more than the draw call.
#include "engine/gl/VertexArray.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"

#include <cstdint>

namespace orvex {

unsigned primitiveMode(int primitive)
{
    switch (primitive) {
    case 2: return GL_LINES;
    case 3: return GL_TRIANGLES;
    case 6: return GL_LINE_STRIP;
    case 7: return GL_TRIANGLE_STRIP;
    case 10: return GL_LINE_LOOP;
    case 11: return GL_TRIANGLE_FAN;
    case 18: return GL_LINES_ADJACENCY;
    case 19: return GL_TRIANGLES_ADJACENCY;
    case 22: return GL_LINE_STRIP_ADJACENCY;
    case 23: return GL_TRIANGLE_STRIP_ADJACENCY;
    default: return GL_POINTS;
    }
}

VertexArray::VertexArray(GlContext* context, UniquePtr<VertexArrayObject> vao)
    : owner(context), token(context->token()), vao(std::move(vao))
{
}

VertexArray::~VertexArray()
{
    if (vao && token.alive())
        vao->release();
}

void VertexArray::setAttribute(int index, const BufferObject* buffer, int components, int offset, int stride)
{
    vao->setAttribute(index, buffer, components, buffer->elementType(), buffer->normalized(), offset, stride);
}

void VertexArray::setIndexBuffer(BufferObject* buffer, int offset)
{
    indices = buffer;
    firstIndex = offset;
    vao->setIndexBuffer(buffer);
}

void VertexArray::clearIndexBuffer()
{
    indices = nullptr;
    firstIndex = 0;
    vao->clearIndexBuffer();
}

void VertexArray::draw(int primitive, int first, int count)
{
    vao->bind();
    unsigned mode = GL_PATCHES;
    if (primitive >= 32) {
        int patchVertices = primitive - 32;
        if (patchVertices != owner->current.patchVertices && gl::hasPatchParameters) {
            gl::PatchParameteri(GL_PATCH_VERTICES, patchVertices);
            owner->current.patchVertices = patchVertices;
        }
    } else {
        mode = primitiveMode(primitive);
    }
    if (indices) {
        uintptr_t offset = uintptr_t(indices->elementSize()) * uintptr_t(firstIndex + first);
        gl::DrawElements(mode, count, indices->elementType(), reinterpret_cast<const void*>(offset));
    } else {
        gl::DrawArrays(mode, first, count);
    }
}

} // namespace orvex
