#pragma once
// Which part of the title picture a viewer can see. The picture reaches the screen only through the
// line field: the title quad is drawn unseen, the frame's lower-left corner is copied into the
// feedback texture, and each line shows the texels under the points it joins while it is drawn at
// the line field's depth offset. As the field comes closer after the card's second cue, what it
// samples near its edges is drawn off the picture. Everything here projects with the window's own
// matrices through GLU, as the line field does, and takes the geometry from the show's headers.
#include "math/projection.h"

namespace title_view {

struct Point {
    double x, y;
};

// Where the line field at depth offset `depth` shows the title picture's point (u, v), in texels
// from its top-left corner: a window position on the picture, or false where no line shows it.
bool shown(const projection::Matrices& m, double u, double v, float depth, Point* at);

// The depth offsets the card passes through after its second cue, nearest last.
float startDepth();
float nearestDepth();

// The texels shown throughout, on every screen the show plays on (full screen, the window, the
// recording) and at every depth offset after the second cue.
struct Region {
    int left, top, right, bottom;  // whole texels; right and bottom exclusive
    // How much wider than tall a texel looks there: lay text out this much narrower.
    double aspect;
};
Region visibleRegion();

}  // namespace title_view
