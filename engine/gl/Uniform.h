// Uniform: one active uniform of a linked program. Its value lives in a CPU-side buffer and is
// sent to GL lazily, right before the next draw with the program, and only when it changed.
// SingleUniform<T> and ArrayUniform<T> hold elements of one type T; DummyUniform stands in for a
// type the engine does not handle. createUniform maps the driver's GL type to the element type.
// Main thread (uploads need the owning program current, which Shader::draw arranges).
#pragma once

#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace orvex {

// A texture unit index for sampler uniforms (0 = GL_TEXTURE0).
struct TextureUnit {
    int index = 0;
    bool operator==(const TextureUnit&) const = default;
};

// The one sampler type the engine records: every supported sampler kind is stored as this.
inline constexpr unsigned SAMPLER_TYPE = 0x8B5D; // GL_SAMPLER_1D

class Uniform {
public:
    enum Kind : int {
        DUMMY = 0,  // a type outside the factory table; nothing is stored or uploaded
        ARRAY = 1,  // ArrayUniform<T>
        SINGLE = 2, // SingleUniform<T>
    };

    virtual ~Uniform() = default;
    // Sends the stored value with the GL call of the element type. The program must be current.
    virtual void upload() = 0;

    Uniform(const Uniform&) = delete;
    Uniform& operator=(const Uniform&) = delete;

    int kind() const { return kindValue; }
    unsigned type() const { return typeValue; } // the GL type, samplers normalised to SAMPLER_TYPE
    const std::string& name() const { return nameValue; } // as the driver reports it ("color[0]")
    const std::byte* value() const { return bytes.data(); }
    size_t valueSize() const { return bytes.size(); }
    bool dirty() const { return dirtyFlag; }
    int location() const { return locationValue; }
    int count() const { return countValue; }

    // Uploads the value when it changed since the last upload (every value starts dirty, so the
    // first draw sends the zeros or whatever was set before it).
    void uploadIfDirty()
    {
        if (dirtyFlag) {
            upload();
            dirtyFlag = false;
        }
    }

protected:
    Uniform(Kind kind, unsigned type, std::string name, int location, int count, size_t elementSize)
        : kindValue(kind)
        , typeValue(type)
        , nameValue(std::move(name))
        , bytes(elementSize * size_t(count))
        , locationValue(location)
        , countValue(count)
    {
    }

    template <typename Stored>
    void store(int index, const Stored& element)
    {
        assert(index >= 0 && index < countValue && "Uniform::set: element index outside the uniform's array");
        std::memcpy(bytes.data() + size_t(index) * sizeof(Stored), &element, sizeof(Stored));
        dirtyFlag = true;
    }
    template <typename Stored>
    Stored load(int index) const
    {
        Stored element;
        std::memcpy(&element, bytes.data() + size_t(index) * sizeof(Stored), sizeof(Stored));
        return element;
    }

private:
    Kind kindValue;
    unsigned typeValue;
    std::string nameValue;
    std::vector<std::byte> bytes; // zero-filled at creation
    bool dirtyFlag = true;
    int locationValue;
    int countValue;
};

namespace uniform_detail {
// How an element type is kept in the value buffer: booleans and texture units as GL ints,
// everything else as itself (vectors and column-major matrices are plain arrays).
template <typename T>
struct Storage {
    using Type = T;
    static T from(const T& value) { return value; }
    static T to(const T& value) { return value; }
};
template <>
struct Storage<bool> {
    using Type = int32_t;
    static int32_t from(bool value) { return value ? 1 : 0; }
    static bool to(int32_t value) { return value != 0; }
};
template <>
struct Storage<TextureUnit> {
    using Type = int32_t;
    static int32_t from(TextureUnit unit) { return unit.index; }
    static TextureUnit to(int32_t value) { return TextureUnit{value}; }
};

// A colour is uploaded exactly like the four-component vector of its precision, and the factory
// stores vec4 uniforms as vectors; a colour look-up therefore finds the vector uniform.
template <typename T>
struct Lookup {
    using Type = T;
};
template <>
struct Lookup<Color<float>> {
    using Type = Vector<float, 4>;
};
template <>
struct Lookup<Color<double>> {
    using Type = Vector<double, 4>;
};

// U is a colour whose look-up finds the vector uniform T; std::bit_cast in set() checks that the
// two have the same size.
template <typename U, typename T>
concept AliasOf = !std::is_same_v<U, T> && std::is_same_v<typename Lookup<U>::Type, T>;
} // namespace uniform_detail

template <typename T>
class SingleUniform final : public Uniform {
    using Storage = uniform_detail::Storage<T>;

public:
    SingleUniform(unsigned type, std::string name, int location)
        : Uniform(SINGLE, type, std::move(name), location, 1, sizeof(typename Storage::Type))
    {
    }
    // Copies the value and marks it for upload; no comparison with the old value.
    void set(const T& value) { store(0, Storage::from(value)); }
    template <uniform_detail::AliasOf<T> U>
    void set(const U& value) { set(std::bit_cast<T>(value)); }
    T get() const { return Storage::to(load<typename Storage::Type>(0)); }
    void upload() override;
};

template <typename T>
class ArrayUniform final : public Uniform {
    using Storage = uniform_detail::Storage<T>;

public:
    ArrayUniform(unsigned type, std::string name, int location, int count)
        : Uniform(ARRAY, type, std::move(name), location, count, sizeof(typename Storage::Type))
    {
    }
    void set(int index, const T& value) { store(index, Storage::from(value)); }
    // Writes values[i] to element first + i.
    void set(int first, std::span<const T> values)
    {
        for (size_t i = 0; i < values.size(); ++i)
            set(first + int(i), values[i]);
    }
    T get(int index) const
    {
        assert(index >= 0 && index < count() && "ArrayUniform::get: element index outside the array");
        return Storage::to(load<typename Storage::Type>(index));
    }
    void upload() override;
};

class DummyUniform final : public Uniform {
public:
    DummyUniform(unsigned type, std::string name, int location)
        : Uniform(DUMMY, type, std::move(name), location, 1, 0)
    {
    }
    void upload() override {}
};

// Every element type of the factory table (each in parentheses, so the commas inside template
// arguments survive the macro), for the explicit instantiations in Uniform.cpp.
#define ORVEX_UNIFORM_ELEMENT_TYPES(X)                                                                                 \
    X((int)) X((bool)) X((TextureUnit)) X((unsigned)) X((float)) X((double))                                           \
    X((Vector<int, 2>)) X((Vector<int, 3>)) X((Vector<int, 4>))                                                        \
    X((Vector<unsigned, 2>)) X((Vector<unsigned, 3>)) X((Vector<unsigned, 4>))                                         \
    X((Vector<float, 2>)) X((Vector<float, 3>)) X((Vector<float, 4>))                                                  \
    X((Vector<double, 2>)) X((Vector<double, 3>)) X((Vector<double, 4>))                                               \
    X((Matrix<float, 2, 2>)) X((Matrix<float, 2, 3>)) X((Matrix<float, 2, 4>))                                         \
    X((Matrix<float, 3, 2>)) X((Matrix<float, 3, 3>)) X((Matrix<float, 3, 4>))                                         \
    X((Matrix<float, 4, 2>)) X((Matrix<float, 4, 3>)) X((Matrix<float, 4, 4>))                                         \
    X((Matrix<double, 2, 2>)) X((Matrix<double, 2, 3>)) X((Matrix<double, 2, 4>))                                      \
    X((Matrix<double, 3, 2>)) X((Matrix<double, 3, 3>)) X((Matrix<double, 3, 4>))                                      \
    X((Matrix<double, 4, 2>)) X((Matrix<double, 4, 3>)) X((Matrix<double, 4, 4>))

namespace uniform_detail {
template <typename T>
struct Unparen;
template <typename T>
struct Unparen<void(T)> {
    using Type = T;
};
} // namespace uniform_detail

#define ORVEX_UNIFORM_EXTERN(T)                                                                                        \
    extern template class SingleUniform<typename uniform_detail::Unparen<void T>::Type>;                               \
    extern template class ArrayUniform<typename uniform_detail::Unparen<void T>::Type>;
ORVEX_UNIFORM_ELEMENT_TYPES(ORVEX_UNIFORM_EXTERN)
#undef ORVEX_UNIFORM_EXTERN

// The GL type recorded for a driver-reported type: the seven supported sampler kinds become
// SAMPLER_TYPE, every other type stays as it is.
unsigned normalizeUniformType(unsigned glType);

// The uniform for an active uniform of the driver's `glType`, `location` and array `size`:
// ArrayUniform<T> when size != 1, SingleUniform<T> when size == 1, DummyUniform when the engine
// has no element type for glType. Never null; throws std::bad_alloc when memory runs out.
UniquePtr<Uniform> createUniform(unsigned glType, std::string name, int location, int size);

} // namespace orvex
