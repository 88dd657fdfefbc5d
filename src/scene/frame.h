#pragma once
// Frame: the placement of a camera or of a mesh. Cameras and meshes are moved by changing
// position and target in place; each frame the camera rebuilds its camera matrix from them, and
// the renderer rebuilds a mesh's object matrix and inverse rotation.
#include "math/vector.h"

class Frame {
public:
    // A camera frame at the origin looking along +z.
    Frame() = default;
    Frame(const Point& position, const Point& target) : position_(position), target_(target) {}

    void setPosition(const Point& p) { position_ = p; }
    void setTarget(const Point& p) { target_ = p; }
    Point& getPosition() { return position_; }
    Point& getTarget() { return target_; }
    const Point& getPosition() const { return position_; }
    const Point& getTarget() const { return target_; }

    // Camera: matrix := translation(-position) x orientation, so that a world point p maps to
    // ((p - position).right, (p - position).up, (p - position).forward).
    void buildMatrix();

    // Orientation with columns right, up, forward, built from position and target. The right axis
    // flips to forward x up when its x component jumps by 2/sqrt(3) or more since the last build,
    // so a camera passing over the vertical does not spin round; the first build never flips.
    Matrix buildOrientation();

    // Mesh: object matrix := orientation x translation(+position); inverse rotation := the
    // orientation transposed.
    void buildObjectMatrices();

    const Matrix& cameraMatrix() const { return camera_; }
    const Matrix& objectMatrix() const { return object_; }
    const Matrix& inverseRotation() const { return inverseRotation_; }
    const Direction& previousRight() const { return previousRight_; }

    static constexpr float kNoAxis = -1000.0f;

private:
    Matrix camera_ = Matrix::identity();
    Matrix object_ = Matrix::identity();
    Matrix inverseRotation_ = Matrix::identity();
    Point position_{0.0f, 0.0f, 0.0f};
    Point target_{0.0f, 0.0f, 1.0f};
    Direction previousRight_{kNoAxis, kNoAxis, kNoAxis};
};
