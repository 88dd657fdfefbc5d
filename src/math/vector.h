#pragma once
// Points, directions and 4 x 4 matrices. Coordinates: x right, y up, z into the screen. Points are
// row vectors multiplied on the left (p' = p x M), so element (i, j) = m[4i + j] weighs input
// component i into output component j and row 3 holds the translation (OpenGL's own layout).
// Rotations take angle units (65535 to a full turn) and look them up in the KTable tables.

struct Direction;

struct Matrix {
    float m[16];

    static Matrix identity();
    // Diagonal (x, y, z, 1).
    static Matrix scale(float x, float y, float z);
    // Identity with row 3 = (x, y, z).
    static Matrix translation(float x, float y, float z);
    // Row-vector product: p x (A x B) = (p x A) x B, so A applies first.
    Matrix operator*(const Matrix& b) const;
    // Rows and columns swapped.
    Matrix transposed() const;
};

// View-volume outcode bits.
enum Outcode : int {
    kOutRight = 1,
    kOutLeft = 2,
    kOutTop = 4,
    kOutBottom = 8,
    kOutNear = 16,
};

struct Point {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    Point() = default;
    Point(float px, float py, float pz) : x(px), y(py), z(pz) {}

    void set(float px, float py, float pz) {
        x = px;
        y = py;
        z = pz;
    }
    // Takes the direction's x, y, z.
    void assign(const Direction& d);
    // b - a, componentwise.
    static Point difference(const Point& a, const Point& b) { return {b.x - a.x, b.y - a.y, b.z - a.z}; }

    // p x M with the translation row; transformed() returns it, transform() also stores it.
    Point transformed(const Matrix& mat) const;
    void transform(const Matrix& mat) { *this = transformed(mat); }

    // Rotations about the world axes through the origin.
    void rotateX(int angle);
    void rotateY(int angle);

    // Outcode against the square volume x = +-z, y = +-z closed at the near plane z = clip
    // constant; 0 is inside, a point on a plane is inside.
    int classify() const;
};

// A vector with a cached length: every operation producing a new direction resets the cache to 0,
// only length() fills it and normalise() divides by it.
struct Direction {
    float len = 0.0f, x = 0.0f, y = 0.0f, z = 0.0f;

    Direction() = default;
    Direction(float dx, float dy, float dz) : x(dx), y(dy), z(dz) {}
    // b - a.
    Direction(const Point& a, const Point& b) : x(b.x - a.x), y(b.y - a.y), z(b.z - a.z) {}
    explicit Direction(const Point& p) : x(p.x), y(p.y), z(p.z) {}
    // Copies keep the components but not the cached length.
    Direction(const Direction& d) : x(d.x), y(d.y), z(d.z) {}
    Direction& operator=(const Direction& d) {
        len = 0.0f;
        x = d.x;
        y = d.y;
        z = d.z;
        return *this;
    }
    Direction& operator=(const Point& p) {
        len = 0.0f;
        x = p.x;
        y = p.y;
        z = p.z;
        return *this;
    }

    void set(float dx, float dy, float dz) {
        len = 0.0f;
        x = dx;
        y = dy;
        z = dz;
    }
    // Computes sqrt(x^2 + y^2 + z^2), stores it in the cache and returns it.
    float length();
    float cachedLength() const { return len; }
    // Multiplies by 1 / cached length. A zero cached length leaves the vector as it is, so a
    // zero vector stays zero instead of turning into NaN.
    void normalise();
    // this := a x b; the cached length is left as it was.
    void cross(const Direction& a, const Direction& b);
    // v x M with the translation row; cached length 0.
    Direction transformed(const Matrix& mat) const;
    // Multiplies by 1 / s.
    void divide(float s);
    void add(const Direction& v);
};

inline float dot(const Direction& a, const Direction& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
