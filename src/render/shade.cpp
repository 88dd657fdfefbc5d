#include "base/debug_server.h"
#include "render/mesh_renderer.h"
#include "scene/klight.h"
#include "scene/kmesh.h"
#include "scene/view.h"

namespace {

// The diffuse factor the flat pass computed last, from whichever polygon, mesh or frame that was.
float carried = 0.0f;

// Channels are whole numbers, so every product is rounded as it is stored.
Colour scaled(Colour c, float factor) { return c.scale(factor); }

float clampUnit(float v) {
    if (v < 0.0f) return 0.0f;
    if (v > 1.0f) return 1.0f;
    return v;
}

}  // namespace

float MeshRenderer::carriedFactor() { return carried; }
void MeshRenderer::setCarriedFactor(float g) { carried = g; }

void MeshRenderer::shade(KMesh& mesh) {
    DebugServer& log = debugServer();
    log.write("KMesh::shade()", 10);
    Frame& frame = *mesh.frame_;
    frame.buildObjectMatrices();
    const Matrix inverse = frame.inverseRotation();

    const View& view = *mesh.view_;
    const int32_t gate = view.modeFlags, surface = mesh.surfaceMode_;
    if (!((surface & kSurfaceLit) && (gate & kSurfaceLit))) return;
    log.write("OK", 10);

    // The mesh has room for kLightRoom lights; further lights are left out.
    int n = 0;
    for (int i = 0; i < view.lightCount && i < 64 && n < KMesh::kLightRoom; ++i) mesh.lightList_[size_t(n++)] = view.lights[i];
    if (n == 0) return;
    const Point& position = frame.getPosition();
    for (int j = 1; j < n; ++j) {
        mesh.lightPositions_[size_t(j)] =
            Point::difference(position, mesh.lightList_[size_t(j)]->getPosition()).transformed(inverse);
    }

    const KLight& ambient = *mesh.lightList_[0];
    const Colour& c0 = ambient.getColour();
    const float i0 = ambient.getIntensity();
    KMeshPolygon* const* list = mesh.visibleList_.data();
    const int drawCount = view.drawCount;

    if (((gate & 3) | (surface & 3)) == 3) {
        for (int k = 0; k < drawCount; ++k) {
            KMeshPolygon& p = *list[k];
            const Colour m = Colour::fromStored(p.colourCopy);
            Colour a = scaled(m, i0).add(scaled(c0, i0 * carried));
            for (int j = 1; j < n; ++j) {
                const KLight& light = *mesh.lightList_[size_t(j)];
                const float ij = light.getIntensity();
                // The light's mesh-space position itself serves as its direction.
                const float d = clampUnit(dot(*p.faceNormal, Direction(mesh.lightPositions_[size_t(j)])));
                carried = d;
                a.addClamp(scaled(scaled(m, d).add(scaled(light.getColour(), ij * d)), ij));
            }
            *p.colour = a;
        }
    }

    if (((gate | surface) & 5) == 5) {
        log.write("We're on track! :D", 10);
        if (n == 1) return;  // the ambient light alone leaves the vertex colours as they are
        for (int k = 0; k < drawCount; ++k) {
            KMeshPolygon& p = *list[k];
            const int32_t corners[3] = {p.a, p.b, p.c};
            const Colour* bases[3] = {p.baseColourA, p.baseColourB, p.baseColourC};
            const Direction* normals[3] = {p.normalA, p.normalB, p.normalC};
            Colour* lit[3] = {p.litColourA, p.litColourB, p.litColourC};
            for (int corner = 0; corner < 3; ++corner) {
                const Colour& base = *bases[corner];
                Colour a = scaled(base, i0).add(scaled(c0, i0 * carried));
                for (int j = 1; j < n; ++j) {
                    const KLight& light = *mesh.lightList_[size_t(j)];
                    const float ij = light.getIntensity();
                    Direction toLight(mesh.vertices_[size_t(corners[corner])], mesh.lightPositions_[size_t(j)]);
                    toLight.length();
                    toLight.normalise();
                    const float f = clampUnit(dot(toLight, *normals[corner]));
                    a.addClamp(scaled(scaled(scaled(base, f), ij).add(scaled(light.getColour(), f)), ij));
                    *lit[corner] = a;
                }
            }
        }
    }
}
