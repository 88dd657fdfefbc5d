#pragma once
// The quads way of drawing lines. The geometry needs no GL: each segment, given in object space
// with the matrices and the viewport it is drawn under, is clipped to the near and far planes as GL
// clips lines, widened on screen and carried back to object space, so that GL's own transform puts
// the quad where the line would be, with the line's depth, fog, colour and texture coordinates.
// Smoothed quads carry coverage coordinates for a ramp texture; drawing them is a GL back end's.
#include <vector>

namespace linequads {

// One vertex as a caller gives it.
struct Vertex {
    float position[3];
    float colour[4];
    float texCoord[2];
};

// One corner of a quad. Across and along are texture coordinates (s, t) into the ramp texture,
// whose alpha at (s, t) is the product of two ramps, one along each axis (see kRampSize): across
// ramps in from each long side, along from each end. They are interpolated in perspective, as GL
// interpolates any texture coordinate and as Mesa's smoothed lines interpolate their coverage.
struct QuadVertex {
    float position[3];
    float colour[4];
    float texCoord[2];
    float across[2];
    float along[2];
};

// The transform from object space to the window, and back.
struct View {
    double toClip[16];    // projection x model-view, column-major as GL's
    double fromClip[16];  // its inverse
    double viewport[4];   // x, y, width, height
    bool invertible = false;
};
View makeView(const float modelView[16], const float projection[16], const int viewport[4]);

// Appends the quads of one segment from a to b, 6 corners (two triangles, counter-clockwise on
// screen) or none where nothing of it is drawn: wholly clipped away, or a point on screen. width is
// in window pixels; smoothed quads are at least 1 wide, aliased ones a whole number of pixels.
void appendSegment(const Vertex& a, const Vertex& b, const View& view, float width, bool smooth,
                   std::vector<QuadVertex>& out);

// The segments of a line primitive, in GL's order: pairs for GL_LINES (an odd last vertex draws
// nothing), each vertex to the next for GL_LINE_STRIP, and back to the first for GL_LINE_LOOP.
void appendPrimitive(unsigned primitive, const Vertex* vertices, int count, const View& view, float width,
                     bool smooth, std::vector<QuadVertex>& out);

// The ramp texture: kRampSize x kRampSize alphas, texel (s, t) the product s t / (kRampSize - 1)^2,
// sampled at the nearest texel and clamped to its edge (no filtering to pay for). A distance d in
// pixels from a quad's edge maps to the coordinate kRampStart + kRampPerPixel d: coverage 0 at the
// edge, half a pixel outside the line, rising in 255 steps to 1 half a pixel inside it.
inline constexpr int kRampSize = 256;
inline constexpr float kRampStart = 0.5f / kRampSize;
inline constexpr float kRampPerPixel = (kRampSize - 1.0f) / kRampSize;

// The GL back end (line_quads_gl.cpp): OpenGL 1.3 fixed function (two more texture units, each
// modulating alpha by the ramp texture) and client vertex arrays, nothing else. Another back end
// (GLES 2, WebGL) implements these three with its own drawing: a fragment shader can look the ramp
// up as this one does, or compute it from the same coordinates.

// GL's matrices and viewport now.
View currentView();
// Makes the ramp texture in the current context.
void prepare();
// Draws the quads as triangles under the caller's GL state, with their colours or GL's current
// colour, their texture coordinates or GL's current ones, and (smoothed) their coverage. Leaves
// every client array disabled and texture unit 0 active.
void draw(const std::vector<QuadVertex>& quads, bool colours, bool texCoords, bool smooth);

}  // namespace linequads
