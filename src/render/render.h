#pragma once
// The renderer's interface for the show: draw a scene once per frame, and the render switches that
// apply to every scene. Drawing leaves GL state as it sets it (scissor test on, texturing and
// blending as the last polygon needed); the window's projection and model-view are assumed.
class KScene;

// Draws every mesh of the scene against its view, seen from its current camera (whose matrix is
// rebuilt first), into each attached viewport. Does nothing while bit 0 of the KTable render flags
// is set. Allocates nothing.
void renderScene(KScene& scene);

// Multiplies every colour sent to GL (1.0 at start).
void setBrightness(float value);
float getBrightness();

// Hidden lines: each polygon is first filled in black slightly behind itself, so outlines drawn
// afterwards are hidden by nearer polygons (off at start).
void enableHiddenLines();
void disableHiddenLines();
bool hiddenLinesEnabled();

// Stretch: scales object space by the stretch factors before the camera (off, factors 1, 1, 1).
void enableStretch();
void disableStretch();
void setStretch(float x, float y, float z);
bool stretchEnabled();

// Polygons the scenes have handed to GL so far, counted where they are handed over whatever path
// they take: every polygon of a mesh's viewport pass that clipping does not reject, and each one a
// scene draws by itself and counts with countPolygons (the title card). For the render benchmark.
long polygonsDrawn();
void countPolygons(long count);
