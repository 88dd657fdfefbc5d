#include <GL/gl.h>

#include "math/ktable.h"
#include "render/lines.h"
#include "render/mesh_renderer.h"
#include "render/switches.h"
#include "scene/kmesh.h"
#include "scene/view.h"

namespace {

// 1 / 255 as a float: 0.003921568859...
constexpr float kChannelScale = 1.0f / 255.0f;

// The two conversions every vertex and colour goes through, whether sent one call at a time or
// gathered into the outline batch.
float vertexX(const Point& p) { return p.x / KTable::projectionScaleX(); }
float vertexY(const Point& p) { return p.y / KTable::projectionScaleY(); }
void colourChannels(const Colour& c, float out[4]) {
    const float b = renderSwitches().brightness;
    out[0] = c.getRed() * kChannelScale * b;
    out[1] = c.getGreen() * kChannelScale * b;
    out[2] = c.getBlue() * kChannelScale * b;
    out[3] = 0.5f;
}

void submitVertex(const Point& p) { glVertex3f(vertexX(p), vertexY(p), p.z); }

void submitColour(const Colour& c) {
    float rgba[4];
    colourChannels(c, rgba);
    glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
}

// One polygon's glBegin ... glEnd: outlines go through the line renderer, any other primitive
// straight to GL.
class Primitive {
public:
    explicit Primitive(int32_t mode) : line_(isLinePrimitive(unsigned(mode))) {
        line_ ? beginLines(unsigned(mode)) : glBegin(GLenum(mode));
    }
    ~Primitive() { line_ ? endLines() : glEnd(); }
    Primitive(const Primitive&) = delete;
    Primitive& operator=(const Primitive&) = delete;

    void vertex(const Point& p) const { line_ ? lineVertex(vertexX(p), vertexY(p), p.z) : submitVertex(p); }
    void colour(const Colour& c) const {
        float rgba[4];
        colourChannels(c, rgba);
        line_ ? lineColour(rgba[0], rgba[1], rgba[2], rgba[3]) : glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    // Maps -1..1 to 0..1: stored texture coordinates (2u - 1, 2v - 1) give back (u, v).
    void texCoord(const Direction& d) const {
        const float s = (d.x + 1.0f) * 0.5f, t = (d.y + 1.0f) * 0.5f;
        line_ ? lineTexCoord(s, t) : glTexCoord2f(s, t);
    }

private:
    bool line_;
};

void bindTexture(const unsigned* name) { glBindTexture(GL_TEXTURE_2D, name ? *name : 0); }

// Moves the polygon's three transformed corners by dz in depth, in the order c, b, a. Adding and
// then taking away 0.1 may not give back the very same float: every pass over a corner leaves
// its rounding behind, and both submission paths keep that.
void shiftDepth(KMeshPolygon& p, float dz) {
    Point* t = p.transformed;
    t[p.c].z += dz;
    t[p.b].z += dz;
    t[p.a].z += dz;
}

// A black triangle 0.1 behind the polygon: outlines drawn afterwards pass the less-or-equal depth
// test where nothing nearer covers them.
void hiddenLinePrepass(KMeshPolygon& p) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    const Point* t = p.transformed;
    shiftDepth(p, 0.1f);
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    submitVertex(t[p.c]);
    submitVertex(t[p.b]);
    submitVertex(t[p.a]);
    glEnd();
    shiftDepth(p, -0.1f);
    glEnable(GL_BLEND);
}

// The corners of a polygon in submission order: a, b, c in the front pass, c, b, a in the back.
struct Corners {
    int32_t index[3];
    Colour* lit[3];
};

Corners corners(const KMeshPolygon& p, bool front) {
    if (front) return {{p.a, p.b, p.c}, {p.litColourA, p.litColourB, p.litColourC}};
    return {{p.c, p.b, p.a}, {p.litColourC, p.litColourB, p.litColourA}};
}

// One vertex of the outline batch: position as submitVertex sends it, colour as submitColour does.
constexpr int kBatchFloats = 7;

float* putVertex(float* out, const Point& p, const float rgba[4]) {
    out[0] = vertexX(p);
    out[1] = vertexY(p);
    out[2] = p.z;
    for (int i = 0; i < 4; ++i) out[3 + i] = rgba[i];
    return out + kBatchFloats;
}

// Appends the polygon's outline corners, each with the colour the per-polygon path would give it.
float* putOutline(float* out, const KMeshPolygon& p, bool front, bool flat, float lastColour[4]) {
    const Corners k = corners(p, front);
    if (flat) colourChannels(*p.colour, lastColour);
    for (int i = 0; i < 3; ++i) {
        if (!flat) colourChannels(*k.lit[i], lastColour);
        out = putVertex(out, p.transformed[k.index[i]], lastColour);
    }
    return out;
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
    switch (s) {
        case kSurfaceFlat: {
            submitColour(*p.colour);
            const Primitive polygon(p.renderMode);
            for (int k = 0; k < 3; ++k) polygon.vertex(t[order[k]]);
            break;
        }
        case kSurfaceGouraud: {
            const Primitive polygon(p.renderMode);
            for (int k = 0; k < 3; ++k) {
                polygon.colour(*lit[k]);
                polygon.vertex(t[order[k]]);
            }
            break;
        }
        case kSurfaceEnvironment: {
            bindTexture(p.environmentTexture);
            const Primitive polygon(p.renderMode);
            for (int k = 0; k < 3; ++k) {
                polygon.texCoord(*env[k]);
                polygon.vertex(t[order[k]]);
            }
            break;
        }
        case kSurfaceTexture:
        case kSurfaceTexture | kSurfaceFlat: {
            bindTexture(p.texture);
            if (s & kSurfaceFlat) submitColour(*p.colour);
            const Primitive polygon(p.renderMode);
            for (int k = 0; k < 3; ++k) {
                polygon.texCoord(*tex[k]);
                polygon.vertex(t[order[k]]);
            }
            break;
        }
        case kSurfaceTexture | kSurfaceGouraud: {
            bindTexture(p.texture);
            const Primitive polygon(p.renderMode);
            for (int k = 0; k < 3; ++k) {
                polygon.colour(*lit[k]);
                polygon.texCoord(*tex[k]);
                polygon.vertex(t[order[k]]);
            }
            break;
        }
        default:
            break;  // any other combination draws nothing
    }
}

bool MeshRenderer::submitOutlines(KMesh& mesh) {
    const View& view = *mesh.view_;
    const bool hidden = renderSwitches().hiddenLines;
    KMeshPolygon* const* list = mesh.visibleList_.data();
    const int front = view.frontCount, count = view.frontCount + view.backCount;
    auto flat = [](const KMeshPolygon& p) { return (p.surfaceMode & ~kSurfaceLit) == kSurfaceFlat; };
    // Textured polygons bind their texture one by one; they, and modes that draw nothing, stay on
    // the per-polygon path.
    bool anyFlat = false;
    for (int i = 0; i < count; ++i) {
        const int32_t s = list[i]->surfaceMode & ~kSurfaceLit;
        if (s != kSurfaceFlat && s != kSurfaceGouraud) return false;
        anyFlat = anyFlat || s == kSurfaceFlat;
    }

    // Flat outlines without the pre-pass reach the pixels differently when gathered (immediate
    // mode carries their colour per vertex, a batch could not repeat its rounding): left as they are.
    if (!hidden && anyFlat) return false;

    // Gather every drawn polygon's vertices first: the pre-pass corners (with the depth shift
    // applied and taken back at the same point as the per-polygon path), then the outline.
    static constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float* const base = mesh.submitVertices_.data();
    float* out = base;
    float last[4] = {};
    for (int i = 0; i < count; ++i) {
        KMeshPolygon& p = *list[i];
        if (clippedAway(mesh, p)) continue;
        if (hidden) {
            shiftDepth(p, 0.1f);
            for (int32_t corner : {p.c, p.b, p.a}) out = putVertex(out, p.transformed[corner], kBlack);
            shiftDepth(p, -0.1f);
        }
        out = putOutline(out, p, i < front, flat(p), last);
    }
    if (out == base) return true;

    bindLineArrays({base, kBatchFloats});
    // Each outline keeps its own primitive, and with hidden lines blending changes between each
    // pre-pass and its outline, and a pre-pass may cover the outline before it: per polygon, in
    // order, from one array. A flat colour stays a current colour, not a per-vertex one:
    // interpolating it (with perspective) can round a channel differently. Quads of outlines in a
    // row go to GL together.
    LineBatch batch;
    int first = 0;
    for (int i = 0; i < count; ++i) {
        const KMeshPolygon& p = *list[i];
        if (clippedAway(mesh, p)) continue;
        if (hidden) {
            batch.flush();
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LEQUAL);
            glDisable(GL_BLEND);
            lineColourArray(false);
            glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
            glDrawArrays(GL_TRIANGLES, first, 3);
            glEnable(GL_BLEND);
            first += 3;
        }
        lineColourArray(!flat(p));
        if (flat(p)) glColor4fv(base + first * kBatchFloats + 3);
        if (isLinePrimitive(unsigned(p.renderMode))) drawLineArrays(unsigned(p.renderMode), first, 3);
        else glDrawArrays(GLenum(p.renderMode), first, 3);
        first += 3;
    }
    batch.flush();
    releaseLineArrays();
    // The per-polygon path leaves the last colour it sent current; later stages draw with it.
    glColor4f(last[0], last[1], last[2], last[3]);
    return true;
}
