#pragma once
// What the scene files share: where the show grips a scene, and the checks and mesh modes several
// scenes use.
#include "base/exception.h"
#include "scene/kscene.h"

// Where the show grips a scene: its current camera and the frames of its meshes.
inline Point& cameraPosition(KScene& s) { return s.getCurrentCamera().getPosition(); }
inline Point& cameraTarget(KScene& s) { return s.getCurrentCamera().getTarget(); }
inline Point& meshPosition(KScene& s, int i) { return s.getMesh(i).getFrame().getPosition(); }
inline Point& meshTarget(KScene& s, int i) { return s.getMesh(i).getFrame().getTarget(); }

// Scenes 1 to 4 address mesh 0 directly; a file without one is refused instead.
inline void requireMesh(KScene& scene, const char* file) {
    if (scene.getMeshCount() < 1) raise(errors::invalidData, file);
}

// A clone of a file without meshes is a copy of nothing: a mesh without vertices.
inline void requireClonedMesh(KScene& scene, const char* file) {
    requireMesh(scene, file);
    if (scene.getMesh(0).getVertexCount() < 1) raise(errors::invalidData, file);
}

// Outlines (GL_LINE_LOOP) with per-vertex lit colour, polygon rejection on, front faces only.
inline void setArrayMesh(KMesh& mesh) {
    mesh.setRenderMode(2);
    mesh.setSurfaceMode(5);
    mesh.forceClipping();
    mesh.setTwoSided(false);
}
