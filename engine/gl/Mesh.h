// Mesh<Vertex>: a vertex buffer with the vertex array that reads it as the format's attributes, and
// what to draw of it (primitive code and vertex count). DynamicMesh<Vertex> is refilled at run time:
// it grows its buffer to exactly the size asked for and otherwise rewrites it in place.
// Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/VertexArray.h"
#include "engine/gl/VertexFormats.h"

#include <algorithm>
#include <vector>

namespace orvex {

template <typename Vertex>
class Mesh {
public:
    Mesh(int primitive, int vertexCount, UniquePtr<VertexArray> vertexArray, UniquePtr<BufferObject> vertexBuffer,
         UniquePtr<BufferObject> indexBuffer = nullptr)
        : primitive(primitive), vertexCount(vertexCount), vertexArray(std::move(vertexArray)),
          vertexBuffer(std::move(vertexBuffer)), indexBuffer(std::move(indexBuffer))
    {
    }
    virtual ~Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    int primitive;   // engine primitive code (VertexArray::draw)
    int vertexCount; // vertices (or indices) to draw
    UniquePtr<VertexArray> vertexArray;
    UniquePtr<BufferObject> vertexBuffer;
    UniquePtr<BufferObject> indexBuffer; // null for non-indexed drawing
};

template <typename Vertex>
class DynamicMesh : public Mesh<Vertex> {
public:
    DynamicMesh(int primitive, int vertexCapacity, int usage, UniquePtr<VertexArray> vertexArray,
                UniquePtr<BufferObject> vertexBuffer)
        : Mesh<Vertex>(primitive, 0, std::move(vertexArray), std::move(vertexBuffer)), vertexCapacity(vertexCapacity),
          usage(usage)
    {
    }

    // Makes room for `n` vertices when the buffer holds fewer: new storage of exactly n vertices
    // (the old content is gone), no index buffer, nothing to draw. Does nothing otherwise.
    void grow(int n)
    {
        if (n <= vertexCapacity)
            return;
        this->vertexBuffer->allocate(size_t(n) * floatsPerVertex<Vertex>());
        this->vertexArray->clearIndexBuffer();
        this->indexBuffer = nullptr;
        this->vertexCount = 0;
        vertexCapacity = n;
    }

    // Writes `count` vertices at vertex `first`, cut off at the capacity; returns how many were
    // written. The vertex count is left to the caller.
    int write(int first, const Vertex* vertices, int count)
    {
        int written = first < 0 ? 0 : std::min(vertexCapacity - first, count);
        if (written <= 0)
            return 0;
        this->vertexBuffer->update(size_t(first) * floatsPerVertex<Vertex>(), reinterpret_cast<const float*>(vertices),
                                   size_t(written) * floatsPerVertex<Vertex>());
        return written;
    }

    // Replaces the content with `count` vertices from vertex 0, growing first when needed; without
    // an index buffer they become the vertices drawn.
    int replace(const Vertex* vertices, int count)
    {
        grow(count);
        int written = write(0, vertices, count);
        if (!this->indexBuffer)
            this->vertexCount = written;
        return written;
    }
    int replace(const std::vector<Vertex>& vertices) { return replace(vertices.data(), int(vertices.size())); }

    int vertexCapacity; // vertices the buffer holds
    int usage;          // usage code of the buffer (BufferObject)
};

// A dynamic mesh whose buffer holds `capacity` vertices of the given usage code, read through the
// format's attributes; nothing to draw yet. Null when a GL object cannot be created.
template <typename Vertex>
UniquePtr<DynamicMesh<Vertex>> createDynamicMesh(GlContext& context, int primitive, int capacity, int usage)
{
    UniquePtr<VertexArray> vertexArray(context.createVertexArray());
    if (!vertexArray)
        return nullptr;
    UniquePtr<BufferObject> buffer(context.createBuffer(size_t(capacity) * floatsPerVertex<Vertex>(), usage));
    if (!buffer)
        return nullptr;
    vertexArray->setVertexFormat<Vertex>(buffer.get());
    return UniquePtr<DynamicMesh<Vertex>>(
        new DynamicMesh<Vertex>(primitive, capacity, usage, std::move(vertexArray), std::move(buffer)));
}

// A mesh holding `vertices`, all of them drawn. Null when a GL object cannot be created.
template <typename Vertex>
UniquePtr<Mesh<Vertex>> createMesh(GlContext& context, int primitive, const std::vector<Vertex>& vertices, int usage = 0)
{
    UniquePtr<VertexArray> vertexArray(context.createVertexArray());
    if (!vertexArray)
        return nullptr;
    UniquePtr<BufferObject> buffer(context.createBuffer(usage));
    if (!buffer)
        return nullptr;
    buffer->upload(reinterpret_cast<const float*>(vertices.data()), vertices.size() * floatsPerVertex<Vertex>());
    vertexArray->setVertexFormat<Vertex>(buffer.get());
    return UniquePtr<Mesh<Vertex>>(
        new Mesh<Vertex>(primitive, int(vertices.size()), std::move(vertexArray), std::move(buffer)));
}

} // namespace orvex
