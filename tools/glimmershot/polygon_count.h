#pragma once
// Counts the polygons the renderer draws. Every polygon outline of the show's scenes is one
// glBegin(GL_LINE_LOOP); glimmershot's own glBegin stands in front of the GL library's, counts
// those and passes every call on.
long outlinePolygonsDrawn();
