// Small value types shared by the engine: Vector<T, N>, Matrix<T, C, R> (C columns of R rows,
// stored column-major like GLSL's matCxR) and Color<T> (red, green, blue, alpha).
#pragma once

#include <cstddef>

namespace orvex {

template <typename T, int N>
struct Vector {
    T values[N] = {};
    T& operator[](int i) { return values[i]; }
    const T& operator[](int i) const { return values[i]; }
    bool operator==(const Vector&) const = default;
};

template <typename T, int C, int R>
struct Matrix {
    T values[C * R] = {}; // column-major: element (column c, row r) at c * R + r
    T& at(int column, int row) { return values[column * R + row]; }
    const T& at(int column, int row) const { return values[column * R + row]; }
    bool operator==(const Matrix&) const = default;

    static Matrix identity()
    {
        Matrix m;
        for (int i = 0; i < (C < R ? C : R); ++i)
            m.at(i, i) = T(1);
        return m;
    }
};

template <typename T>
struct Color {
    T red = T(), green = T(), blue = T(), alpha = T();
    bool operator==(const Color&) const = default;
};

} // namespace orvex
