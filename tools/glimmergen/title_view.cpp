#include "title_view.h"

#include <GL/glu.h>

#include <algorithm>

#include "show/cues.h"
#include "show/line_field.h"
#include "show/show.h"
#include "show/title_card.h"

namespace title_view {
namespace {

bool project(const projection::Matrices& m, double x, double y, double z, double* wx, double* wy, double* wz) {
    return gluProject(x, y, z, m.modelView, m.projection, m.viewport, wx, wy, wz) == GL_TRUE;
}

// The screens the show plays on; the picture is the viewport's lower-left 320 x 240 on each.
projection::Matrices screen(int index) {
    using namespace projection;
    return index == 0 ? window(kPictureWidth, kPictureHeight, kPictureWidth, kPictureHeight, kFov)
                      : window(kWindowWidth, kWindowHeight, kPictureWidth, kPictureHeight, kFov);
}

}  // namespace

bool shown(const projection::Matrices& m, double u, double v, float depth, Point* at) {
    // The quad is a rectangle at one depth: texture coordinates map onto it linearly.
    const TitleCard::Corner& a = TitleCard::kQuad[0];
    const TitleCard::Corner& b = TitleCard::kQuad[2];
    const double s = u / TitleCard::kImageSize, t = v / TitleCard::kImageSize;
    const double x = a.x + (s - a.s) / (b.s - a.s) * (b.x - a.x);
    const double y = a.y + (t - a.t) / (b.t - a.t) * (b.y - a.y);
    double qx, qy, qz;
    if (!project(m, x, y, a.z, &qx, &qy, &qz)) return false;
    const double size = Show::kFeedbackSize;
    if (qx < 0 || qy < 0 || qx >= size || qy >= size) return false;

    // The line-field point whose texture coordinate falls there must lie in the box; a line shows
    // what lies between its two points, so the whole box is sampled.
    const double wx = qx / size / LineField::kTextureScaleX, wy = qy / size / LineField::kTextureScaleY;
    const LineField::Box box = LineField::pointBox(TitleCard::kBoxWidth, TitleCard::kBoxHeight);
    double lowX, lowY, planeZ, highX, highY, highZ;
    project(m, box.left, box.bottom, LineField::kPointDepth, &lowX, &lowY, &planeZ);
    project(m, box.right, box.top, LineField::kPointDepth, &highX, &highY, &highZ);
    if (wx < lowX || wx > highX || wy < lowY || wy > highY) return false;

    // It is drawn at its depth plus the offset, and must land on the picture.
    double px, py, pz, dz;
    if (gluUnProject(wx, wy, planeZ, m.modelView, m.projection, m.viewport, &px, &py, &pz) != GL_TRUE) return false;
    if (!project(m, px, py, LineField::kPointDepth + depth, &at->x, &at->y, &dz)) return false;
    return at->x >= 0 && at->y >= 0 && at->x <= projection::kPictureWidth && at->y <= projection::kPictureHeight;
}

float startDepth() { return TitleCard::kStartDepth; }

float nearestDepth() {
    return TitleCard::kStartDepth - TitleCard::kApproachRate * float(cues::title[2] - cues::title[1]);
}

Region visibleRegion() {
    // The field only comes closer, so what it shows only shrinks; both ends of its course bound it.
    // Whole texels tested at their centres keep the result off the last bits of the arithmetic.
    const float depths[2] = {startDepth(), nearestDepth()};
    const projection::Matrices screens[2] = {screen(0), screen(1)};
    const int n = TitleCard::kImageSize;
    Region r{n, n, 0, 0, 0.0};
    for (int v = 0; v < n; ++v) {
        for (int u = 0; u < n; ++u) {
            bool everywhere = true;
            Point at;
            for (const projection::Matrices& m : screens)
                for (float depth : depths) everywhere = everywhere && shown(m, u + 0.5, v + 0.5, depth, &at);
            if (!everywhere) continue;
            r.left = std::min(r.left, u);
            r.top = std::min(r.top, v);
            r.right = std::max(r.right, u + 1);
            r.bottom = std::max(r.bottom, v + 1);
        }
    }
    if (r.right <= r.left || r.bottom <= r.top) return {0, 0, 0, 0, 1.0};
    // On screen at the nearest depth, a step of one texel across against one down, on each screen.
    const double cu = (r.left + r.right) / 2.0, cv = (r.top + r.bottom) / 2.0;
    for (const projection::Matrices& m : screens) {
        Point c, across, down;
        shown(m, cu, cv, depths[1], &c);
        shown(m, cu + 1, cv, depths[1], &across);
        shown(m, cu, cv + 1, depths[1], &down);
        r.aspect += (across.x - c.x) / (c.y - down.y) / 2;
    }
    return r;
}

}  // namespace title_view
