// MeshShader<Vertex>: a Shader whose attribute locations follow the vertex format Vertex (the
// index of each name in the format's attribute list), so meshes of that format can be drawn
// with it. It adds nothing to Shader; the type only keeps formats and programs matched.
// Main thread.
#pragma once

#include "engine/gl/Shader.h"

#include <utility>

namespace orvex {

template <typename Vertex>
class MeshShader : public Shader {
public:
    // Takes over a program linked with Vertex's attribute names.
    explicit MeshShader(Shader&& shader) noexcept
        : Shader(std::move(shader))
    {
    }
    MeshShader(MeshShader&& other) noexcept = default;
};

} // namespace orvex
