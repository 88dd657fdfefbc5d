#pragma once
// The engine's process-wide numeric constants: sine and cosine look-up tables (65535 angle units to
// a full turn), screen resolution, field of view and the projection scales of mesh drawing. There is
// one KTable; its values live in process-wide storage so they are read through static accessors.
#include <cstdint>

class KTable {
public:
    KTable(int tableSize, int xRes, int yRes, int bitsPerPixel, float fov);
    KTable(const KTable&) = delete;
    KTable& operator=(const KTable&) = delete;

    void setResolution(int xRes, int yRes, int bitsPerPixel);

    // Reads the current GL model-view, projection and viewport, projects (1, 1, 1) and derives the
    // projection scales. Needs a current GL context (the window runs it after setting its matrices).
    static void computeProjectionScale();

    static int tableSize();
    // Angle indices outside 0..tableSize-1 wrap around instead of reading outside the tables.
    static float cosAt(int index);
    static float sinAt(int index);
    static int xRes();
    static int yRes();
    static float fov();
    static float projectionScaleX();
    static float projectionScaleY();
    static float clipConstant();
    static int renderFlags();
    static void setRenderFlags(int flags);
};
