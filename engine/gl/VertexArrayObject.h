// VertexArrayObject: the attribute bindings of one vertex array. The native kind wraps a GL vertex
// array object; the virtual kind records the bindings itself and replays them on bind() for
// drivers without vertex array objects. Both bind through the context's bound-vertex-array cache.
// Offsets and strides are counted in the buffer's components. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/ContextToken.h"

#include <vector>

namespace orvex {

class BufferObject;
class GlContext;

class VertexArrayObject {
public:
    explicit VertexArrayObject(GlContext* context);
    virtual ~VertexArrayObject() = default;
    VertexArrayObject(const VertexArrayObject&) = delete;
    VertexArrayObject& operator=(const VertexArrayObject&) = delete;

    // Called by the owning VertexArray while the context lives, before the object is deleted.
    virtual void release() = 0;
    // Makes the context current and binds this array unless the context's cache says it is bound.
    virtual void bind() = 0;
    // A constant attribute value: the first three components, or all four with `useFour`.
    virtual void setConstant(int index, const Vector<float, 4>& value, bool useFour) = 0;
    virtual void setConstant4fv(int index, const float* value) = 0;
    virtual void setConstant3fv(int index, const float* value) = 0;
    virtual void setConstant2fv(int index, const float* value) = 0;
    virtual void setConstant1f(int index, float value) = 0;
    virtual void setAttributeInstanced(int index, const BufferObject* buffer, int components, unsigned type,
                                       bool normalized, int offset, int stride, unsigned divisor) = 0;
    virtual void setAttribute(int index, const BufferObject* buffer, int components, unsigned type, bool normalized,
                              int offset, int stride) = 0;
    virtual void setIndexBuffer(const BufferObject* buffer) = 0;
    virtual void clearIndexBuffer() = 0;

    GlContext* context() const { return owner; }
    bool isBound() const;

protected:
    void markBound();
    void forgetBound();

    GlContext* owner;
    ContextToken token;
};

class VertexArrayObject_native final : public VertexArrayObject {
public:
    // Takes ownership of `name`, a freshly generated vertex array of `context`.
    VertexArrayObject_native(GlContext* context, unsigned name);

    void release() override;
    void bind() override;
    void setConstant(int index, const Vector<float, 4>& value, bool useFour) override;
    void setConstant4fv(int index, const float* value) override;
    void setConstant3fv(int index, const float* value) override;
    void setConstant2fv(int index, const float* value) override;
    void setConstant1f(int index, float value) override;
    void setAttributeInstanced(int index, const BufferObject* buffer, int components, unsigned type, bool normalized,
                               int offset, int stride, unsigned divisor) override;
    void setAttribute(int index, const BufferObject* buffer, int components, unsigned type, bool normalized,
                      int offset, int stride) override;
    void setIndexBuffer(const BufferObject* buffer) override;
    void clearIndexBuffer() override {} // the element binding stays; VertexArray stops using it

    unsigned name() const { return arrayName; }

private:
    unsigned arrayName;
};

class VertexArrayObject_virtual final : public VertexArrayObject {
public:
    // One recorded binding of an attribute location.
    class AttribCache {
    public:
        virtual ~AttribCache() = default;
        virtual void apply(int index) const = 0;
        virtual void applyDivisor(int index) const = 0;
    };

    class AttribVBO final : public AttribCache {
    public:
        AttribVBO(unsigned buffer, int components, unsigned type, bool normalized, int strideBytes, int offsetBytes,
                  unsigned divisor)
            : buffer(buffer), components(components), type(type), normalized(normalized), strideBytes(strideBytes),
              offsetBytes(offsetBytes), divisor(divisor)
        {
        }
        void apply(int index) const override;
        void applyDivisor(int index) const override;

        unsigned buffer;
        int components;
        unsigned type;
        bool normalized;
        int strideBytes;
        int offsetBytes;
        unsigned divisor;
    };

    // T is float, Vector<float, 2>, Vector<float, 3> or Vector<float, 4>.
    template <typename T>
    class AttribFixed final : public AttribCache {
    public:
        explicit AttribFixed(const T& value) : value(value) {}
        void apply(int index) const override;
        void applyDivisor(int) const override {}

        T value;
    };

    explicit VertexArrayObject_virtual(GlContext* context);

    // Nothing of GL to delete; only the context's cache entry is dropped.
    void release() override;
    void bind() override;
    void setConstant(int index, const Vector<float, 4>& value, bool useFour) override;
    void setConstant4fv(int index, const float* value) override;
    void setConstant3fv(int index, const float* value) override;
    void setConstant2fv(int index, const float* value) override;
    void setConstant1f(int index, float value) override;
    void setAttributeInstanced(int index, const BufferObject* buffer, int components, unsigned type, bool normalized,
                               int offset, int stride, unsigned divisor) override;
    void setAttribute(int index, const BufferObject* buffer, int components, unsigned type, bool normalized,
                      int offset, int stride) override;
    void setIndexBuffer(const BufferObject* buffer) override;
    void clearIndexBuffer() override { elementBuffer = 0; }

    // Recorded bindings by location; null where nothing was set.
    const std::vector<UniquePtr<AttribCache>>& attributes() const { return entries; }
    unsigned indexBuffer() const { return elementBuffer; }

private:
    void store(int index, AttribCache* entry);

    std::vector<UniquePtr<AttribCache>> entries;
    unsigned elementBuffer = 0;
};

} // namespace orvex
