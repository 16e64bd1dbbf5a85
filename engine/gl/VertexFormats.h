// Vertex formats: the CPU records of mesh vertices and the attribute layout each one binds. An
// attribute's location is its index in the format's attribute names, which shaders bind by name.
// Other records (the chart's GeometryVertex) define their own VertexFormat beside the record.
#pragma once

namespace orvex {

// One attribute of a format: `components` floats starting `offset` floats into the vertex.
struct VertexAttribute {
    int location;
    int components;
    int offset;
};

// Defined for each vertex record with `attributes` (and, where shaders bind them, `attributeNames`).
template <typename Vertex>
struct VertexFormat;

struct BasicVertex {
    float x, y, z;
};

struct TexturedVertex {
    float x, y, z;
    float u, v;
};

static_assert(sizeof(BasicVertex) == 12 && sizeof(TexturedVertex) == 20, "vertex formats are tightly packed floats");

template <>
struct VertexFormat<BasicVertex> {
    static constexpr VertexAttribute attributes[] = { { 0, 3, 0 } };
    static constexpr const char* attributeNames[] = { "coord" };
};

template <>
struct VertexFormat<TexturedVertex> {
    static constexpr VertexAttribute attributes[] = { { 0, 3, 0 }, { 1, 2, 3 } };
    static constexpr const char* attributeNames[] = { "coord", "texCoord" };
};

// The vertex stride in floats, which is how attribute strides are given.
template <typename Vertex>
constexpr int floatsPerVertex()
{
    static_assert(sizeof(Vertex) % sizeof(float) == 0, "vertex records are made of floats");
    return int(sizeof(Vertex) / sizeof(float));
}

} // namespace orvex
