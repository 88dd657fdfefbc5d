#include <GL/gl.h>

#include "math/ktable.h"
#include "render/mesh_renderer.h"
#include "render/switches.h"
#include "scene/kmesh.h"

namespace {

// 1 / 255 as a float: 0.003921568859...
constexpr float kChannelScale = 1.0f / 255.0f;

void submitVertex(const Point& p) {
    glVertex3f(p.x / KTable::projectionScaleX(), p.y / KTable::projectionScaleY(), p.z);
}

void submitColour(const Colour& c) {
    const float b = renderSwitches().brightness;
    glColor4f(c.getRed() * kChannelScale * b, c.getGreen() * kChannelScale * b, c.getBlue() * kChannelScale * b, 0.5f);
}

// Maps -1..1 to 0..1: stored texture coordinates (2u - 1, 2v - 1) give back (u, v).
void submitTexCoord(const Direction& d) { glTexCoord2f((d.x + 1.0f) * 0.5f, (d.y + 1.0f) * 0.5f); }

void bindTexture(const unsigned* name) { glBindTexture(GL_TEXTURE_2D, name ? *name : 0); }

// A black triangle 0.1 behind the polygon: outlines drawn afterwards pass the less-or-equal depth
// test where nothing nearer covers them.
void hiddenLinePrepass(KMeshPolygon& p) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    Point* t = p.transformed;
    t[p.c].z += 0.1f;
    t[p.b].z += 0.1f;
    t[p.a].z += 0.1f;
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    submitVertex(t[p.c]);
    submitVertex(t[p.b]);
    submitVertex(t[p.a]);
    glEnd();
    t[p.c].z -= 0.1f;
    t[p.b].z -= 0.1f;
    t[p.a].z -= 0.1f;
    glEnable(GL_BLEND);
}

}  // namespace

void MeshRenderer::submitPolygon(KMeshPolygon& p, int32_t marker) {
    if (marker != kFrontPass && marker != kBackPass) return;
    if (renderSwitches().hiddenLines) hiddenLinePrepass(p);

    const int32_t s = p.surfaceMode & ~kSurfaceLit;
    const Point* t = p.transformed;
    const bool front = marker == kFrontPass;
    const int32_t order[3] = {front ? p.a : p.c, p.b, front ? p.c : p.a};
    Colour* const lit[3] = {front ? p.litColourA : p.litColourC, p.litColourB, front ? p.litColourC : p.litColourA};
    const Direction* const tex[3] = {front ? p.texCoordA : p.texCoordC, p.texCoordB, front ? p.texCoordC : p.texCoordA};
    const Direction* const env[3] = {front ? p.mappingNormalA : p.mappingNormalC, p.mappingNormalB,
                                     front ? p.mappingNormalC : p.mappingNormalA};
    const GLenum primitive = GLenum(p.renderMode);

    switch (s) {
        case kSurfaceFlat:
            submitColour(*p.colour);
            glBegin(primitive);
            for (int k = 0; k < 3; ++k) submitVertex(t[order[k]]);
            glEnd();
            break;
        case kSurfaceGouraud:
            glBegin(primitive);
            for (int k = 0; k < 3; ++k) {
                submitColour(*lit[k]);
                submitVertex(t[order[k]]);
            }
            glEnd();
            break;
        case kSurfaceEnvironment:
            bindTexture(p.environmentTexture);
            glBegin(primitive);
            for (int k = 0; k < 3; ++k) {
                submitTexCoord(*env[k]);
                submitVertex(t[order[k]]);
            }
            glEnd();
            break;
        case kSurfaceTexture:
        case kSurfaceTexture | kSurfaceFlat:
            bindTexture(p.texture);
            if (s & kSurfaceFlat) submitColour(*p.colour);
            glBegin(primitive);
            for (int k = 0; k < 3; ++k) {
                submitTexCoord(*tex[k]);
                submitVertex(t[order[k]]);
            }
            glEnd();
            break;
        case kSurfaceTexture | kSurfaceGouraud:
            bindTexture(p.texture);
            glBegin(primitive);
            for (int k = 0; k < 3; ++k) {
                submitColour(*lit[k]);
                submitTexCoord(*tex[k]);
                submitVertex(t[order[k]]);
            }
            glEnd();
            break;
        default:
            break;  // any other combination draws nothing
    }
}
