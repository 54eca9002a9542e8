#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>

// Small 4x4 matrix helpers, column-major like OpenGL, for computing the
// matrices the framework should leave in OpenGL independently of GLU.
namespace matrix {

using Matrix = std::array<double, 16>;

const double Pi = 3.14159265358979323846;

inline Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

inline Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) m[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return m;
}

inline Matrix Translate(double x, double y, double z) {
    Matrix m = Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

inline Matrix Scale(double x, double y, double z) {
    Matrix m = Identity();
    m[0] = x;
    m[5] = y;
    m[10] = z;
    return m;
}

// Rotation by `degrees` about one coordinate axis (0 x, 1 y, 2 z), right-handed.
inline Matrix RotateAxis(int axis, double degrees) {
    const double c = std::cos(degrees * Pi / 180), s = std::sin(degrees * Pi / 180);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    Matrix m = Identity();
    m[i * 4 + i] = c;
    m[j * 4 + j] = c;
    m[i * 4 + j] = s;
    m[j * 4 + i] = -s;
    return m;
}

inline Matrix Frustum(double l, double r, double b, double t, double n, double f) {
    Matrix m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    return m;
}

inline Matrix Perspective(double fovyDegrees, double aspect, double n, double f) {
    const double top = n * std::tan(fovyDegrees * Pi / 360);
    return Frustum(-top * aspect, top * aspect, -top, top, n, f);
}

// Maps the w x h region around (x, y) of the viewport onto the whole clip volume.
inline Matrix PickRegion(double x, double y, double w, double h, const int viewport[4]) {
    return Multiply(Translate((viewport[2] - 2 * (x - viewport[0])) / w, (viewport[3] - 2 * (y - viewport[1])) / h, 0),
                    Scale(viewport[2] / w, viewport[3] / h, 1));
}

struct Vec {
    double x, y, z;
};

inline Vec Normalised(Vec v) {
    double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

inline Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Camera at `eye` looking at `centre`: forward becomes -z, `up` (projected) +y.
inline Matrix LookAt(Vec eye, Vec centre, Vec up) {
    Vec forward = Normalised({centre.x - eye.x, centre.y - eye.y, centre.z - eye.z});
    Vec side = Normalised(Cross(forward, up));
    Vec upright = Cross(side, forward);
    Matrix m = Identity();
    const Vec rows[3] = {side, upright, {-forward.x, -forward.y, -forward.z}};
    for (int row = 0; row < 3; ++row) {
        m[0 + row] = rows[row].x;
        m[4 + row] = rows[row].y;
        m[8 + row] = rows[row].z;
    }
    return Multiply(m, Translate(-eye.x, -eye.y, -eye.z));
}

inline Vec TransformDirection(const double* m, Vec v) {
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
            m[2] * v.x + m[6] * v.y + m[10] * v.z};
}

inline std::string Text(const double* m) {
    std::ostringstream out;
    for (int row = 0; row < 4; ++row) {
        out << "\n  ";
        for (int column = 0; column < 4; ++column) out << m[column * 4 + row] << "  ";
    }
    return out.str();
}

// OpenGL keeps its matrices in single precision.
inline ::testing::AssertionResult Near(const double* actual, const Matrix& expected, double tolerance = 1e-5) {
    for (int i = 0; i < 16; ++i) {
        if (std::fabs(actual[i] - expected[i]) > tolerance * (1 + std::fabs(expected[i])))
            return ::testing::AssertionFailure()
                   << "element " << i << " differs; actual:" << Text(actual) << "\nexpected:" << Text(expected.data());
    }
    return ::testing::AssertionSuccess();
}

inline Matrix Read(unsigned which) {
    Matrix m{};
    glGetDoublev(which, m.data());
    return m;
}

}  // namespace matrix
