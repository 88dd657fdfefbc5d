#pragma once
// The per-mesh draw pipeline behind renderScene: visibility, back-face selection, shading,
// projection and polygon submission. Exposed step by step for tests and the benchmark.
#include <cstdint>

class KMesh;
struct KMeshPolygon;
class View;

class MeshRenderer {
public:
    // Visibility classes.
    static constexpr int kOutside = 1;
    static constexpr int kInside = 2;
    static constexpr int kPartly = 4;

    // Pass markers of submitPolygon.
    static constexpr int32_t kFrontPass = 0x10000000;
    static constexpr int32_t kBackPass = 0;

    // The whole pipeline for one mesh: classify, then (unless outside) selectPolygons, shade,
    // project and renderViewports.
    static void draw(KMesh& mesh, View& view);

    // Sets the mesh's view and camera for the steps below, as draw does.
    static void attach(KMesh& mesh, View& view);
    // Bounding sphere against the view volume: kOutside, kInside or kPartly.
    static int classify(KMesh& mesh);
    // Fills the draw list: front-facing polygons in order, then (two-sided meshes) the back-facing
    // ones in reverse order; sets the view's frontCount, backCount and drawCount.
    static void selectPolygons(KMesh& mesh);
    // Software lighting of the draw list, flat and/or per vertex, as the view's modeFlags and the
    // mesh's surfaceMode select.
    static void shade(KMesh& mesh);
    // Transforms every vertex to screen space with its clip outcode (and rotates the mapping
    // normals of environment-mapped meshes).
    static void project(KMesh& mesh);
    // The viewport loop and the two polygon passes.
    static void renderViewports(KMesh& mesh);
    // One polygon as one glBegin/glEnd block; any marker other than the two passes draws nothing.
    static void submitPolygon(KMeshPolygon& polygon, int32_t marker);
    // Per-polygon rejection: with clipping on, all three corners beyond the same boundary.
    static bool clippedAway(const KMesh& mesh, const KMeshPolygon& p);
    // The polygons of one viewport pass that clipping does not reject: what the pass draws.
    static int polygonsPassed(const KMesh& mesh);
    // The draw list of one viewport pass, polygon by polygon (submitPolygon).
    static void submitEachPolygon(KMesh& mesh);
    // The draw list of one viewport pass through vertex arrays, pixel for pixel what submitPolygon
    // gives polygon by polygon, and leaving the same current colour. Only for untextured outlines:
    // returns false, having drawn nothing, for any other draw list.
    static bool submitOutlines(KMesh& mesh);

    // The factor the flat pass computed last, shared by all meshes across frames; both passes use
    // it in their ambient term.
    static float carriedFactor();
    static void setCarriedFactor(float g);
};
