#pragma once
// The projection every frame is drawn with, as plain numbers: the window loads these matrices, and
// code without a GL context (the content generator) projects with them exactly as the show does,
// through GLU's gluProject.

namespace projection {

// The picture is 320 x 240 with a vertical field of view of 45 degrees. Full screen the viewport is
// the picture; windowed and in video mode the client area is 324 x 265, the picture its lower-left
// part.
inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 240;
inline constexpr float kFov = 45.0f;
inline constexpr int kWindowWidth = 324;
inline constexpr int kWindowHeight = 265;

inline constexpr double kNear = 1.0;
inline constexpr double kFar = 100000000.0;

// Multiplied onto the model-view once the window opens: engine z maps to -2z - 1, the matrix of
// glOrtho(-1, 1, -1, 1, 0, 1). Column-major, as GL takes matrices.
inline constexpr double kDepthFlip[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, 0, 0, 0, -1, 1};

struct Matrices {
    double projection[16];
    double modelView[16];
    int viewport[4];
};

// gluPerspective(fov, the integer aspect xRes / yRes, near, far), computed as GLU does.
void perspective(float fov, int xRes, int yRes, double out[16]);

// What GL holds once the window has opened at width x height: the perspective, the depth flip and
// the viewport, every entry rounded to float as GL keeps it.
Matrices window(int width, int height, int xRes, int yRes, float fov);

// What the current GL context holds. The matrices are read as floats, as GL keeps them: the same
// numbers a read as doubles gives, and the only read WebGL's fixed-function emulation answers.
Matrices current();

}  // namespace projection
