#include "scene/frame.h"

#include <cmath>

namespace {

void normalise(Direction& d) {
    d.length();
    d.normalise();
}

}  // namespace

Matrix Frame::buildOrientation() {
    const Direction up0(0.0f, 1.0f, 0.0f);
    Direction forward(position_, target_);
    normalise(forward);

    Direction right;
    right.cross(up0, forward);
    normalise(right);

    const bool hasPrevious = previousRight_.x != kNoAxis && previousRight_.y != kNoAxis &&
                             previousRight_.z != kNoAxis;
    if (hasPrevious) {
        // Only the x difference counts, three times over.
        const float dx = previousRight_.x - right.x;
        const float d = std::sqrt(3.0f * dx * dx);
        if (d >= 2.0f) {
            right.cross(forward, up0);
            normalise(right);
        }
    }

    Direction up;
    up.cross(forward, right);
    normalise(up);
    previousRight_ = right;

    Matrix r = Matrix::identity();
    const Direction* axes[3] = {&right, &up, &forward};
    for (int column = 0; column < 3; ++column) {
        r.m[0 + column] = axes[column]->x;
        r.m[4 + column] = axes[column]->y;
        r.m[8 + column] = axes[column]->z;
    }
    return r;
}

void Frame::buildMatrix() {
    const Matrix orientation = buildOrientation();
    camera_ = Matrix::translation(-position_.x, -position_.y, -position_.z) * orientation;
}

void Frame::buildObjectMatrices() {
    const Matrix orientation = buildOrientation();
    inverseRotation_ = orientation.transposed();
    object_ = orientation * Matrix::translation(position_.x, position_.y, position_.z);
}
