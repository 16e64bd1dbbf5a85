// VertexArray: what a draw call needs besides the program: the attribute bindings (a native or an
// emulated vertex array object, chosen when the context creates it) and an optional index buffer.
// Shaders draw through draw(); meshes own one each. Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/ContextToken.h"
#include "engine/gl/VertexArrayObject.h"
#include "engine/gl/VertexFormats.h"

namespace orvex {

class GlContext;

class VertexArray {
public:
    VertexArray(GlContext* context, UniquePtr<VertexArrayObject> vao);
    virtual ~VertexArray();
    VertexArray(const VertexArray&) = delete;
    VertexArray& operator=(const VertexArray&) = delete;

    // Attribute `index` reads `components` of `buffer`'s elements at `offset` every `stride`
    // elements; type and normalisation are the buffer's.
    virtual void setAttribute(int index, const BufferObject* buffer, int components, int offset, int stride);

    // Binds every attribute of the vertex format to `buffer`, which holds whole vertices.
    template <typename Vertex>
    void setVertexFormat(const BufferObject* buffer)
    {
        for (const VertexAttribute& attribute : VertexFormat<Vertex>::attributes)
            setAttribute(attribute.location, buffer, attribute.components, attribute.offset, floatsPerVertex<Vertex>());
    }

    // Indexed drawing from `buffer` (not owned), starting at index `offset`.
    void setIndexBuffer(BufferObject* buffer, int offset);
    void clearIndexBuffer();

    // Draws `count` vertices (or indices) from `first` with an engine primitive code: 1 points,
    // 2 lines, 3 triangles, 6 line strip, 7 triangle strip, 10 line loop, 11 triangle fan, 18, 19,
    // 22, 23 the adjacency kinds, 32 + n patches of n vertices; other codes below 32 draw points.
    void draw(int primitive, int first, int count);

    VertexArrayObject* object() const { return vao.get(); }
    BufferObject* indexBuffer() const { return indices; }
    int indexOffset() const { return firstIndex; }

private:
    GlContext* owner;
    ContextToken token;
    UniquePtr<VertexArrayObject> vao;
    BufferObject* indices = nullptr;
    int firstIndex = 0;
};

// The GL mode of an engine primitive code below 32 (32 and above are patches).
unsigned primitiveMode(int primitive);

} // namespace orvex
