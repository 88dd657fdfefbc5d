#include <GL/gl.h>

#include "math/projection.h"

namespace projection {

Matrices current() {
    Matrices m{};
    GLfloat modelView[16] = {}, projection[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, m.viewport);
    for (int i = 0; i < 16; ++i) {
        m.modelView[i] = modelView[i];
        m.projection[i] = projection[i];
    }
    return m;
}

}  // namespace projection
