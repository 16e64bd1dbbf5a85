// Both vertex-array-object kinds. The native one issues every setting at once on its GL object;
// the virtual one keeps one AttribCache per location and replays them all when it is bound, which
// is all a driver without vertex array objects offers.
#include "engine/gl/VertexArrayObject.h"

#include "engine/gl/BufferObject.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"

#include <cstdint>

namespace orvex {

namespace {

const void* byteOffset(int bytes) { return reinterpret_cast<const void*>(static_cast<intptr_t>(bytes)); }

int toBytes(const BufferObject* buffer, int components) { return components * int(buffer->elementSize()); }

} // namespace

// [SECTION] Shared

VertexArrayObject::VertexArrayObject(GlContext* context) : owner(context), token(context->token()) {}

bool VertexArrayObject::isBound() const { return owner->current.vertexArray == this; }

void VertexArrayObject::markBound() { owner->current.vertexArray = this; }

void VertexArrayObject::forgetBound()
{
    if (isBound())
        owner->current.vertexArray = nullptr;
}

// [SECTION] Native

VertexArrayObject_native::VertexArrayObject_native(GlContext* context, unsigned name)
    : VertexArrayObject(context), arrayName(name)
{
}

void VertexArrayObject_native::release()
{
    // Vertex array objects are not shared between contexts: delete it in its own.
    owner->makeCurrent();
    if (isBound()) {
        gl::BindVertexArray(0);
        forgetBound();
    }
    gl::DeleteVertexArrays(1, &arrayName);
    arrayName = 0;
}

void VertexArrayObject_native::bind()
{
    owner->makeCurrent();
    if (isBound())
        return;
    gl::BindVertexArray(arrayName);
    markBound();
}

void VertexArrayObject_native::setConstant(int index, const Vector<float, 4>& value, bool useFour)
{
    if (useFour)
        setConstant4fv(index, value.values);
    else
        setConstant3fv(index, value.values);
}

void VertexArrayObject_native::setConstant4fv(int index, const float* value)
{
    bind();
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib4fv(GLuint(index), value);
}

void VertexArrayObject_native::setConstant3fv(int index, const float* value)
{
    bind();
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib3fv(GLuint(index), value);
}

void VertexArrayObject_native::setConstant2fv(int index, const float* value)
{
    bind();
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib2fv(GLuint(index), value);
}

void VertexArrayObject_native::setConstant1f(int index, float value)
{
    bind();
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib1f(GLuint(index), value);
}

void VertexArrayObject_native::setAttributeInstanced(int index, const BufferObject* buffer, int components,
                                                     unsigned type, bool normalized, int offset, int stride,
                                                     unsigned divisor)
{
    setAttribute(index, buffer, components, type, normalized, offset, stride);
    if (gl::hasAttribDivisor)
        gl::VertexAttribDivisor(GLuint(index), divisor);
}

void VertexArrayObject_native::setAttribute(int index, const BufferObject* buffer, int components, unsigned type,
                                            bool normalized, int offset, int stride)
{
    bind();
    gl::EnableVertexAttribArray(GLuint(index));
    gl::BindBuffer(GL_ARRAY_BUFFER, buffer->name());
    gl::VertexAttribPointer(GLuint(index), components, type, normalized ? GL_TRUE : GL_FALSE,
                            toBytes(buffer, stride), byteOffset(toBytes(buffer, offset)));
}

void VertexArrayObject_native::setIndexBuffer(const BufferObject* buffer)
{
    bind();
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer->name());
}

// [SECTION] Virtual: recorded bindings

void VertexArrayObject_virtual::AttribVBO::apply(int index) const
{
    gl::EnableVertexAttribArray(GLuint(index));
    gl::BindBuffer(GL_ARRAY_BUFFER, buffer);
    gl::VertexAttribPointer(GLuint(index), components, type, normalized ? GL_TRUE : GL_FALSE, strideBytes,
                            byteOffset(offsetBytes));
}

void VertexArrayObject_virtual::AttribVBO::applyDivisor(int index) const { gl::VertexAttribDivisor(GLuint(index), divisor); }

template <>
void VertexArrayObject_virtual::AttribFixed<float>::apply(int index) const
{
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib1f(GLuint(index), value);
}

template <>
void VertexArrayObject_virtual::AttribFixed<Vector<float, 2>>::apply(int index) const
{
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib2fv(GLuint(index), value.values);
}

template <>
void VertexArrayObject_virtual::AttribFixed<Vector<float, 3>>::apply(int index) const
{
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib3fv(GLuint(index), value.values);
}

template <>
void VertexArrayObject_virtual::AttribFixed<Vector<float, 4>>::apply(int index) const
{
    gl::DisableVertexAttribArray(GLuint(index));
    gl::VertexAttrib4fv(GLuint(index), value.values);
}

// [SECTION] Virtual

VertexArrayObject_virtual::VertexArrayObject_virtual(GlContext* context) : VertexArrayObject(context) {}

void VertexArrayObject_virtual::release()
{
    // A later array allocated at this address must not look bound already.
    forgetBound();
}

void VertexArrayObject_virtual::bind()
{
    owner->makeCurrent();
    if (isBound())
        return;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i])
            entries[i]->apply(int(i));
    if (gl::hasAttribDivisor)
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i])
                entries[i]->applyDivisor(int(i));
    if (elementBuffer != 0)
        gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, elementBuffer);
    markBound();
}

void VertexArrayObject_virtual::store(int index, AttribCache* entry)
{
    UniquePtr<AttribCache> owned(entry);
    size_t needed = size_t(index) + 1;
    if (entries.size() < needed) {
        if (entries.capacity() < needed)
            entries.reserve(needed * 3 / 2 + 15);
        entries.resize(needed);
    }
    entries[size_t(index)] = std::move(owned);
    if (isBound()) {
        owner->makeCurrent();
        entries[size_t(index)]->apply(index);
        if (gl::hasAttribDivisor)
            entries[size_t(index)]->applyDivisor(index);
    }
}

void VertexArrayObject_virtual::setConstant(int index, const Vector<float, 4>& value, bool useFour)
{
    if (useFour)
        store(index, new AttribFixed<Vector<float, 4>>(value));
    else
        store(index, new AttribFixed<Vector<float, 3>>(Vector<float, 3> { { value[0], value[1], value[2] } }));
}

void VertexArrayObject_virtual::setConstant4fv(int index, const float* value)
{
    store(index, new AttribFixed<Vector<float, 4>>(Vector<float, 4> { { value[0], value[1], value[2], value[3] } }));
}

void VertexArrayObject_virtual::setConstant3fv(int index, const float* value)
{
    store(index, new AttribFixed<Vector<float, 3>>(Vector<float, 3> { { value[0], value[1], value[2] } }));
}

void VertexArrayObject_virtual::setConstant2fv(int index, const float* value)
{
    store(index, new AttribFixed<Vector<float, 2>>(Vector<float, 2> { { value[0], value[1] } }));
}

void VertexArrayObject_virtual::setConstant1f(int index, float value) { store(index, new AttribFixed<float>(value)); }

void VertexArrayObject_virtual::setAttributeInstanced(int index, const BufferObject* buffer, int components,
                                                      unsigned type, bool normalized, int offset, int stride,
                                                      unsigned divisor)
{
    store(index, new AttribVBO(buffer->name(), components, type, normalized, toBytes(buffer, stride),
                               toBytes(buffer, offset), divisor));
}

void VertexArrayObject_virtual::setAttribute(int index, const BufferObject* buffer, int components, unsigned type,
                                             bool normalized, int offset, int stride)
{
    setAttributeInstanced(index, buffer, components, type, normalized, offset, stride, 0);
}

void VertexArrayObject_virtual::setIndexBuffer(const BufferObject* buffer)
{
    elementBuffer = buffer->name();
    if (isBound()) {
        owner->makeCurrent();
        gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, elementBuffer);
    }
}

} // namespace orvex
