#include <GL/gl.h>

#include <cstddef>
#include <vector>

#include "render/line_quads.h"

namespace linequads {
namespace {

// The ramp texture of the current context; the two units that apply it, across and along.
GLuint g_ramp = 0;
constexpr GLenum kRampUnits[2] = {GL_TEXTURE1, GL_TEXTURE2};

}  // namespace

View currentView() {
    GLfloat modelView[16], projection[16];
    GLint viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    return makeView(modelView, projection, viewport);
}

void prepare() {
    // White with the ramp in alpha: modulating by it leaves the colour as it is. (An alpha-only
    // texture would too, but WebGL's fixed-function emulation does not modulate by one.) Rows of
    // 4-byte texels need no unpack alignment of their own.
    std::vector<GLubyte> texels;
    texels.reserve(std::size_t(kRampSize) * kRampSize * 4);
    for (int t = 0; t < kRampSize; ++t)
        for (int s = 0; s < kRampSize; ++s) texels.insert(texels.end(), {255, 255, 255, GLubyte((s * t + 127) / 255)});
    glActiveTexture(kRampUnits[0]);
    glGenTextures(1, &g_ramp);
    glBindTexture(GL_TEXTURE_2D, g_ramp);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kRampSize, kRampSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    for (GLenum unit : kRampUnits) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, g_ramp);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    glActiveTexture(GL_TEXTURE0);
}

void draw(const std::vector<QuadVertex>& quads, bool colours, bool texCoords, bool smooth) {
    if (quads.empty()) return;
    if (smooth && !g_ramp) prepare();
    const GLsizei stride = sizeof(QuadVertex);
    const QuadVertex& v = quads.front();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, v.position);
    if (colours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, stride, v.colour);
    }
    if (texCoords) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, v.texCoord);
    }
    if (smooth) {
        for (int i = 0; i < 2; ++i) {
            glActiveTexture(kRampUnits[i]);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, g_ramp);
            glClientActiveTexture(kRampUnits[i]);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, stride, i == 0 ? v.across : v.along);
        }
    }
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(quads.size()));
    if (smooth) {
        for (GLenum unit : kRampUnits) {
            glActiveTexture(unit);
            glDisable(GL_TEXTURE_2D);
            glClientActiveTexture(unit);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        glActiveTexture(GL_TEXTURE0);
        glClientActiveTexture(GL_TEXTURE0);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace linequads
