#include "math/vector.h"

#include <cmath>

#include "math/ktable.h"

Matrix Matrix::identity() { return scale(1.0f, 1.0f, 1.0f); }

Matrix Matrix::scale(float x, float y, float z) {
    Matrix r{};
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    r.m[15] = 1.0f;
    return r;
}

Matrix Matrix::translation(float x, float y, float z) {
    Matrix r = identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

Matrix Matrix::operator*(const Matrix& b) const {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[4 * i + j] = m[4 * i] * b.m[j] + m[4 * i + 1] * b.m[4 + j] + m[4 * i + 2] * b.m[8 + j] +
                             m[4 * i + 3] * b.m[12 + j];
        }
    }
    return r;
}

Matrix Matrix::transposed() const {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[4 * i + j] = m[4 * j + i];
    return r;
}

void Point::assign(const Direction& d) {
    x = d.x;
    y = d.y;
    z = d.z;
}

Point Point::transformed(const Matrix& mat) const {
    const float* m = mat.m;
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void Point::rotateX(int angle) {
    const float c = KTable::cosAt(angle), s = KTable::sinAt(angle);
    const float ny = c * y + s * z;
    const float nz = c * z - s * y;
    y = ny;
    z = nz;
}

void Point::rotateY(int angle) {
    const float c = KTable::cosAt(angle), s = KTable::sinAt(angle);
    const float nx = c * x - s * z;
    const float nz = s * x + c * z;
    x = nx;
    z = nz;
}

int Point::classify() const {
    const float k = KTable::clipConstant();
    int code = 0;
    // Nearer than the near plane the side planes have crossed over, so test against the plane's
    // own square instead.
    const float bound = z < k ? k : z;
    if (z < k) code |= kOutNear;
    if (x > bound) code |= kOutRight;
    if (x < -bound) code |= kOutLeft;
    if (y > bound) code |= kOutTop;
    if (y < -bound) code |= kOutBottom;
    return code;
}

float Direction::length() {
    len = std::sqrt(x * x + y * y + z * z);
    return len;
}

void Direction::normalise() {
    if (len == 0.0f) return;
    const float inv = 1.0f / len;
    x *= inv;
    y *= inv;
    z *= inv;
}

void Direction::cross(const Direction& a, const Direction& b) {
    const float nx = a.y * b.z - a.z * b.y;
    const float ny = a.z * b.x - a.x * b.z;
    const float nz = a.x * b.y - a.y * b.x;
    x = nx;
    y = ny;
    z = nz;
}

Direction Direction::transformed(const Matrix& mat) const {
    const float* m = mat.m;
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void Direction::divide(float s) {
    const float inv = 1.0f / s;
    x *= inv;
    y *= inv;
    z *= inv;
}

void Direction::add(const Direction& v) {
    x += v.x;
    y += v.y;
    z += v.z;
}
