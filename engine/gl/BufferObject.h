// BufferObject: one GL buffer of float components, owned by this object and deleted with it while
// its GlContext lives. Used as vertex storage by meshes; offsets and strides of vertex attributes
// are counted in its components. Main thread.
#pragma once

#include "engine/gl/ContextToken.h"

#include <cstddef>
#include <vector>

namespace orvex {

class GlContext;

// The GL usage of a caller's usage code: 0 static draw, 1 dynamic draw, 2 stream draw, 3-5 the
// same for reading, 6-8 for copying; any other code is static draw.
unsigned bufferUsage(int usageCode);

class BufferObject {
public:
    // Takes ownership of `name`, a freshly generated buffer of `context`.
    BufferObject(GlContext* context, unsigned name, int usageCode);
    ~BufferObject();
    BufferObject(const BufferObject&) = delete;
    BufferObject& operator=(const BufferObject&) = delete;
    BufferObject(BufferObject&& other) noexcept;
    BufferObject& operator=(BufferObject&&) = delete;

    // New storage of `floatCount` undefined floats.
    void allocate(size_t floatCount);
    // New storage holding `floats`.
    void upload(const float* floats, size_t count);
    void upload(const std::vector<float>& floats) { upload(floats.data(), floats.size()); }
    // Overwrites floats [firstFloat, firstFloat + count) of the existing storage.
    void update(size_t firstFloat, const float* floats, size_t count);

    unsigned name() const { return bufferName; }
    unsigned usage() const { return glUsage; }
    unsigned elementType() const { return type; } // GL_INVALID_ENUM until data is given
    bool normalized() const { return isNormalized; }
    size_t elementCount() const { return count; }
    size_t elementSize() const { return size; }
    GlContext* context() const { return owner; }

private:
    void store(const float* floats, size_t floatCount);

    GlContext* owner;
    ContextToken token;
    unsigned bufferName;
    unsigned glUsage;
    unsigned type;
    bool isNormalized = false;
    size_t count = 0;
    size_t size = 0;
};

} // namespace orvex
