#pragma once
// Every line the show draws goes through here: the line field, the light bars and the mesh
// outlines. Callers give lines as they would give them to GL, a line primitive and its vertices
// with their colours and texture coordinates, under the GL state they set themselves (blending,
// depth test, fog, texturing); how a line becomes pixels is the renderer's, in one of two ways:
//  - native: GL's own lines (glLineWidth, GL_LINE_SMOOTH), where the driver draws every width the
//    show needs;
//  - quads: each segment a screen-space quad, smoothed as GL defines smoothed lines (each pixel
//    covered by the share of it inside the segment's width x length rectangle, no caps) or, with
//    smoothing off, filled by GL's aliased-line rule; for drivers that clamp wide lines or do not
//    smooth them.
// Widths are in pixels of the 320 x 240 picture: the renderer multiplies them by the pixel scale.
// Like GL's own line state, the renderer's is one per process, for the current context. Colours are
// interpolated along lines, as GL's smooth shading (the window's) has them.
#include <optional>
#include <string_view>

enum class LineWay { native, quads };

// "native" or "quads", in any letter case; nothing for any other name.
std::optional<LineWay> lineWayNamed(std::string_view name);
const char* lineWayName(LineWay way);

// The widest smoothed and aliased lines a driver draws, in pixels.
struct LineWidthLimits {
    float smooth = 1.0f;
    float aliased = 1.0f;
};

// The current context's limits (a range of 0, or a query GL fails, counts as 1). The environment
// variable GLIMMERTIDE_LINE_WIDTH_LIMIT=W stands in for both, to act as a driver we do not have;
// a value that is not a positive number is ignored with a warning on stderr, as `program`.
LineWidthLimits driverLineWidths(const char* program);
// The limit a reported range end stands for: a range of 0 or a failed query is 1.
float reportedLineWidth(float rangeEnd, bool queryFailed);
// GLIMMERTIDE_LINE_WIDTH_LIMIT's value as a width: nothing when it is not a positive number.
std::optional<float> lineWidthLimitValue(std::string_view text);
// Native where lines up to `widest` pixels fit both limits, quads where they do not.
LineWay lineWayFor(float widest, const LineWidthLimits& limits);

// Draws lines this way from now on. Native lines wider than the limits are clamped to them, as the
// driver would clamp them. Quads make their GL objects in the current context: call again for
// another context. Until then lines are native, unclamped, at scale 1.
void useLineWay(LineWay way, const LineWidthLimits& limits);
LineWay lineWay();
// The picture's pixel scale, 1 to 8, that widths are multiplied by.
void setLinePixelScale(int scale);

// The line state, as GL's own: the width (1 at start) and smoothing (off at start; on, with GL's
// nicest smoothing hint).
void setLineWidth(float width);
float lineWidth();
void enableLineSmoothing();
void disableLineSmoothing();
bool lineSmoothing();

// GL_LINES, GL_LINE_LOOP and GL_LINE_STRIP; any other primitive is not a line.
bool isLinePrimitive(unsigned primitive);

// One line primitive, as glBegin ... glEnd gives it: each vertex takes the colour and texture
// coordinate given last, or GL's current ones before any is given, and the last ones given are
// GL's current ones afterwards. Nothing else is drawn or set in GL in between.
void beginLines(unsigned primitive);
void lineColour(float red, float green, float blue, float alpha);
void lineTexCoord(float s, float t);
void lineVertex(float x, float y, float z);
void endLines();

// Lines from vertex arrays (the mesh outline batch). Each vertex is 3 position floats followed by
// 4 colour floats, `stride` floats from one vertex to the next. Binding makes them GL's vertex and
// colour arrays, so that the caller may draw its own primitives from them in between.
struct LineArrays {
    const float* vertices = nullptr;
    int stride = 7;
};
void bindLineArrays(const LineArrays& arrays);
// Colours from the array, or (off, as at binding) GL's current colour when the lines are drawn:
// in a batch, the caller flushes it before it sets another.
void lineColourArray(bool on);
// As glDrawArrays with a line primitive.
void drawLineArrays(unsigned primitive, int first, int count);
void releaseLineArrays();

// While a batch is open, quads wait and go to GL together when it is flushed or closed, which the
// caller must do before it sets any GL state or draws anything itself; the matrices and the
// viewport are read once, when it opens. Native lines draw at once, as ever.
class LineBatch {
public:
    LineBatch();
    ~LineBatch();
    LineBatch(const LineBatch&) = delete;
    LineBatch& operator=(const LineBatch&) = delete;
    void flush();
};
