#include "render/line_quads.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace linequads {
namespace {

// A vertex in clip space with the attributes it carries; clipping interpolates them as GL does.
struct ClipVertex {
    double p[4];
    float colour[4];
    float texCoord[2];
};

void transform(const double m[16], const double v[4], double out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
}

// Gauss-Jordan elimination with partial pivoting; false for a singular matrix.
bool invert(const double m[16], double out[16]) {
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m[c * 4 + r];
            a[r][4 + c] = r == c ? 1.0 : 0.0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (a[pivot][c] == 0.0) return false;
        std::swap(a[c], a[pivot]);
        const double scale = 1.0 / a[c][c];
        for (double& x : a[c]) x *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == c || a[r][c] == 0.0) continue;
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k) a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[c * 4 + r] = a[r][4 + c];
    return true;
}

ClipVertex toClip(const Vertex& v, const View& view) {
    ClipVertex c;
    const double p[4] = {v.position[0], v.position[1], v.position[2], 1.0};
    transform(view.toClip, p, c.p);
    std::copy(v.colour, v.colour + 4, c.colour);
    std::copy(v.texCoord, v.texCoord + 2, c.texCoord);
    return c;
}

ClipVertex between(const ClipVertex& a, const ClipVertex& b, double t) {
    ClipVertex c;
    for (int i = 0; i < 4; ++i) c.p[i] = a.p[i] + (b.p[i] - a.p[i]) * t;
    for (int i = 0; i < 4; ++i) c.colour[i] = float(a.colour[i] + (b.colour[i] - a.colour[i]) * t);
    for (int i = 0; i < 2; ++i) c.texCoord[i] = float(a.texCoord[i] + (b.texCoord[i] - a.texCoord[i]) * t);
    return c;
}

// The point of the segment a fraction of its length along it on screen, before or beyond its ends
// too, with its clip position and attributes found in perspective, as GL interpolates along a line.
ClipVertex alongLine(const ClipVertex& a, const ClipVertex& b, double fraction) {
    const double d = fraction * a.p[3] + (1.0 - fraction) * b.p[3];
    return between(a, b, d > 0.0 ? fraction * a.p[3] / d : std::clamp(fraction, 0.0, 1.0));
}

// Keeps the part of the segment where the plane's distance is not negative; false when none is left.
bool clipTo(ClipVertex& a, ClipVertex& b, double da, double db) {
    if (da < 0.0 && db < 0.0) return false;
    if (da < 0.0) a = between(a, b, da / (da - db));
    else if (db < 0.0) b = between(b, a, db / (db - da));
    return true;
}

// The segment within the near and far planes, as GL clips it; lines that cross the sides of the
// view are left whole: their quads go off screen as the lines would.
bool clipToDepthRange(ClipVertex& a, ClipVertex& b) {
    if (!clipTo(a, b, a.p[2] + a.p[3], b.p[2] + b.p[3])) return false;
    if (!clipTo(a, b, a.p[3] - a.p[2], b.p[3] - b.p[2])) return false;
    return a.p[3] > 0.0 && b.p[3] > 0.0;
}

struct Screen {
    double x, y;
};

Screen toWindow(const ClipVertex& c, const View& view) {
    const double* vp = view.viewport;
    return {vp[0] + (c.p[0] / c.p[3] * 0.5 + 0.5) * vp[2], vp[1] + (c.p[1] / c.p[3] * 0.5 + 0.5) * vp[3]};
}

// The ramp coordinate at a distance from a quad's edge, for a ramp that reaches 1 after `reach`
// pixels.
float ramp(double distance, double reach) { return float(kRampStart + kRampPerPixel * distance / reach); }

// A corner of a quad: a window position at the depth and with the attributes of the line's point
// it belongs to, carried back to object space; the coverage distances are from the minus side,
// the plus side, the start and the end.
struct Corner {
    Screen at;
    const ClipVertex* line;
    double fromMinus, fromPlus, fromStart, fromEnd;
};

QuadVertex quadVertex(const Corner& k, const View& view, double acrossReach, double alongReach) {
    const double* vp = view.viewport;
    const double w = k.line->p[3];
    const double clip[4] = {((k.at.x - vp[0]) / vp[2] * 2.0 - 1.0) * w, ((k.at.y - vp[1]) / vp[3] * 2.0 - 1.0) * w,
                            k.line->p[2], w};
    double object[4];
    transform(view.fromClip, clip, object);
    QuadVertex q;
    for (int i = 0; i < 3; ++i) q.position[i] = float(object[i] / object[3]);
    std::copy(k.line->colour, k.line->colour + 4, q.colour);
    std::copy(k.line->texCoord, k.line->texCoord + 2, q.texCoord);
    q.across[0] = ramp(k.fromMinus, acrossReach);
    q.across[1] = ramp(k.fromPlus, acrossReach);
    q.along[0] = ramp(k.fromStart, alongReach);
    q.along[1] = ramp(k.fromEnd, alongReach);
    return q;
}

// A segment on screen, its ends in the order they were sorted into.
struct OnScreen {
    ClipVertex start, end;
    Screen s;
    double dx, dy, length;
};

// One quad over the segment from one fraction of its length to another, reaching `side` to either
// side of it; its ends carry the depth and attributes of head and tail. Smoothed, its coverage
// ramps in from every edge; aliased, it is covered whole.
struct Quad {
    double from, to;
    const ClipVertex* head;
    const ClipVertex* tail;
    double sideX, sideY;
    bool smooth;
    double alongReach;
};

void appendQuad(const OnScreen& g, const Quad& q, const View& view, std::vector<QuadVertex>& out) {
    const Screen s0{g.s.x + g.dx * q.from, g.s.y + g.dy * q.from};
    const Screen e0{g.s.x + g.dx * q.to, g.s.y + g.dy * q.to};
    const double across = 2.0 * std::hypot(q.sideX, q.sideY);
    const double along = (q.to - q.from) * g.length;
    // Ramps that start 2 pixels inside every edge stay at 1 everywhere.
    const double full = q.smooth ? 0.0 : 2.0;
    const Corner startMinus{{s0.x - q.sideX, s0.y - q.sideY}, q.head, full, across + full, full, along + full};
    const Corner endMinus{{e0.x - q.sideX, e0.y - q.sideY}, q.tail, full, across + full, along + full, full};
    const Corner endPlus{{e0.x + q.sideX, e0.y + q.sideY}, q.tail, across + full, full, along + full, full};
    const Corner startPlus{{s0.x + q.sideX, s0.y + q.sideY}, q.head, across + full, full, full, along + full};
    for (const Corner* k : {&startMinus, &endMinus, &endPlus, &startMinus, &endPlus, &startPlus})
        out.push_back(quadVertex(*k, view, 1.0, q.alongReach));
}

// A smoothed segment: the rectangle of its width and length grown by half a pixel all round, whose
// coverage ramps from 0 at the quad's edge to 1 a pixel inside it. Its ends carry the end points'
// own depth and attributes, as GL's smoothed lines on Mesa have them.
void appendSmooth(const OnScreen& g, float width, const View& view, std::vector<QuadVertex>& out) {
    const double half = std::max(double(width), 1.0) / 2.0 + 0.5;
    const double ux = g.dx / g.length, uy = g.dy / g.length;
    // Shorter than a pixel, the line covers less than a pixel anywhere: the ramps along it are
    // slowed so that their product peaks at its length.
    const double alongReach = g.length < 1.0 ? (g.length + 1.0) / (2.0 * std::sqrt(g.length)) : 1.0;
    appendQuad(g, {-0.5 / g.length, 1.0 + 0.5 / g.length, &g.start, &g.end, -uy * half, ux * half, true, alongReach},
               view, out);
}

// GL's aliased wide line: a whole number of pixels across the minor axis, from the first pixel the
// line leaves to the last before the one it ends in: in the direction it was given, both ends move
// back half a pixel along the major axis. The quads carry the line's own depth and attributes to
// their ends, so that a line drawn twice, either way, has the same depth where both cover it: the
// part the two directions share is one quad, the end pixel each draws alone another.
void appendAliased(const OnScreen& g, float width, bool reversed, const View& view, std::vector<QuadVertex>& out) {
    const double half = std::max(std::floor(double(width) + 0.5), 1.0) / 2.0;
    const bool xMajor = std::fabs(g.dx) >= std::fabs(g.dy);
    const double sideX = xMajor ? 0.0 : (g.dy > 0 ? -half : half), sideY = xMajor ? (g.dx > 0 ? half : -half) : 0.0;
    const double back = 0.5 / std::max(std::fabs(g.dx), std::fabs(g.dy));  // half a pixel, as a fraction
    auto at = [&](double fraction) { return alongLine(g.start, g.end, fraction); };
    const double from = reversed ? back : -back, to = reversed ? 1.0 + back : 1.0 - back;
    if (1.0 - back <= back) {  // too short for a part both directions share
        const ClipVertex head = at(from), tail = at(to);
        appendQuad(g, {from, to, &head, &tail, sideX, sideY, false, 1.0}, view, out);
        return;
    }
    const ClipVertex inner0 = at(back), inner1 = at(1.0 - back);
    appendQuad(g, {back, 1.0 - back, &inner0, &inner1, sideX, sideY, false, 1.0}, view, out);
    const ClipVertex head = at(reversed ? 1.0 - back : -back), tail = at(reversed ? 1.0 + back : back);
    appendQuad(g, {reversed ? 1.0 - back : -back, reversed ? 1.0 + back : back, &head, &tail, sideX, sideY, false, 1.0},
               view, out);
}

// Orders two points by their clip coordinates.
bool before(const ClipVertex& a, const ClipVertex& b) {
    return std::lexicographical_compare(a.p, a.p + 4, b.p, b.p + 4);
}

}  // namespace

View makeView(const float modelView[16], const float projection[16], const int viewport[4]) {
    View view;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(projection[k * 4 + r]) * double(modelView[c * 4 + k]);
            view.toClip[c * 4 + r] = sum;
        }
    for (int i = 0; i < 4; ++i) view.viewport[i] = viewport[i];
    view.invertible = invert(view.toClip, view.fromClip) && viewport[2] > 0 && viewport[3] > 0;
    return view;
}

void appendSegment(const Vertex& a, const Vertex& b, const View& view, float width, bool smooth,
                   std::vector<QuadVertex>& out) {
    if (!view.invertible) return;
    // Worked out from its end points in one order whichever way it was given, a segment drawn twice
    // (the edge two polygons share) gets the very same quads, and the same depth for the depth test.
    OnScreen g{toClip(a, view), toClip(b, view), {}, 0, 0, 0};
    const bool reversed = before(g.end, g.start);
    if (reversed) std::swap(g.start, g.end);
    if (!clipToDepthRange(g.start, g.end)) return;
    g.s = toWindow(g.start, view);
    const Screen e = toWindow(g.end, view);
    g.dx = e.x - g.s.x;
    g.dy = e.y - g.s.y;
    g.length = std::hypot(g.dx, g.dy);
    if (!(g.length > 0.0) || !std::isfinite(g.length)) return;  // GL draws nothing for a point
    smooth ? appendSmooth(g, width, view, out) : appendAliased(g, width, reversed, view, out);
}

void appendPrimitive(unsigned primitive, const Vertex* vertices, int count, const View& view, float width,
                     bool smooth, std::vector<QuadVertex>& out) {
    switch (primitive) {
        case GL_LINES:
            for (int i = 0; i + 1 < count; i += 2) appendSegment(vertices[i], vertices[i + 1], view, width, smooth, out);
            break;
        case GL_LINE_STRIP:
        case GL_LINE_LOOP:
            for (int i = 0; i + 1 < count; ++i) appendSegment(vertices[i], vertices[i + 1], view, width, smooth, out);
            if (primitive == GL_LINE_LOOP && count > 1)
                appendSegment(vertices[count - 1], vertices[0], view, width, smooth, out);
            break;
        default:
            break;
    }
}

}  // namespace linequads
