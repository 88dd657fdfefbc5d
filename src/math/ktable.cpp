#include "math/ktable.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <numbers>

#include "base/debug_server.h"
#include "math/projection.h"
#include "base/exception.h"

namespace {

constexpr float kDefaultFov = 45.0f;

// Process-wide: any part reads these through KTable's static accessors.
struct TableState {
    int tableSize = 65536;
    std::unique_ptr<float[]> cosTable;
    std::unique_ptr<float[]> sinTable;
    int16_t xRes = 320;
    int16_t yRes = 240;
    int8_t bitsPerPixel = 32;
    float fov = kDefaultFov;
    float projectionScaleX = 1.0f;
    float projectionScaleY = 1.0f;
    float clipConstant = 1.0f;
    int renderFlags = 0;
    std::unique_ptr<uint32_t[]> zBuffer;
};

TableState g_table;

template <typename T>
std::unique_ptr<T[]> allocateOrRaise(size_t count) {
    std::unique_ptr<T[]> p(new (std::nothrow) T[count]);
    if (!p) raise(errors::outOfMemory);
    return p;
}

// Index i stands for 2*pi*i/(size-1): 65535 units make a full turn.
long double angleOf(int index, int size) {
    return static_cast<long double>(index) / (size - 1) * 2.0L * std::numbers::pi_v<long double>;
}

int wrapIndex(int index) {
    int size = g_table.tableSize;
    int wrapped = index % size;
    return wrapped < 0 ? wrapped + size : wrapped;
}

}  // namespace

KTable::KTable(int tableSize, int xRes, int yRes, int bitsPerPixel, float fov) {
    DebugServer& log = debugServer();
    log.write("{KTable::KTable()}: Allocating resources...", 0);
    log.write("{KTable}: Calculating look-up tables...", 5);

    // At least two entries: the angle of an index divides by size - 1.
    if (tableSize < 2) tableSize = 2;

    auto cosTable = allocateOrRaise<float>(tableSize);
    log.write("{KTable}: Precalculating cos values...", 2);
    for (int i = 0; i < tableSize; ++i)
        cosTable[i] = static_cast<float>(std::cos(angleOf(i, tableSize)));

    auto sinTable = allocateOrRaise<float>(tableSize);
    log.write("{KTable}: Precalculating sin values...", 2);
    for (int i = 0; i < tableSize; ++i)
        sinTable[i] = static_cast<float>(std::sin(angleOf(i, tableSize)));

    g_table.cosTable = std::move(cosTable);
    g_table.sinTable = std::move(sinTable);
    g_table.tableSize = tableSize;
    log.write("{KTable}: Calculating resolution- and FOV-constants...", 2);

    g_table.xRes = static_cast<int16_t>(xRes);
    g_table.yRes = static_cast<int16_t>(yRes);
    g_table.fov = fov;
    computeProjectionScale();
    setResolution(xRes, yRes, bitsPerPixel);
    g_table.renderFlags = 0;
}

void KTable::setResolution(int xRes, int yRes, int bitsPerPixel) {
    DebugServer& log = debugServer();
    log.printf(5, "{KTable::setResolution}: xRes:%d  yRes:%d  bpp:%d", xRes, yRes, bitsPerPixel);
    log.printf(5, "{KTable::setResolution}: FOV: %f", static_cast<double>(kDefaultFov));
    g_table.bitsPerPixel = static_cast<int8_t>(bitsPerPixel);
    g_table.xRes = static_cast<int16_t>(xRes);
    g_table.yRes = static_cast<int16_t>(yRes);
    computeProjectionScale();

    log.write("{KTable}: Allocating Z-buffer..", 2);
    g_table.zBuffer.reset();
    size_t cells = size_t(std::max<int>(g_table.xRes, 0)) * size_t(std::max<int>(g_table.yRes, 0));
    g_table.zBuffer = allocateOrRaise<uint32_t>(cells);
    g_table.clipConstant = 1.0f;
}

void KTable::computeProjectionScale() {
    // Without a current context (the constructor runs before the window exists) there is nothing
    // to read back; the window set-up runs this again once its matrices are set.
    if (glGetString(GL_VERSION) == nullptr) return;

    const projection::Matrices held = projection::current();
    GLdouble wx = 0, wy = 0, wz = 0;
    if (gluProject(1.0, 1.0, 1.0, held.modelView, held.projection, held.viewport, &wx, &wy, &wz) != GL_TRUE) return;

    double halfX = g_table.xRes / 2;
    double halfY = g_table.yRes / 2;
    // A point projected onto the centre would give an infinite scale; keep the previous one.
    if (wx == halfX || wy == halfY) return;
    g_table.projectionScaleX = static_cast<float>(halfX / (wx - halfX) * 0.9);
    g_table.projectionScaleY = static_cast<float>(halfY / (wy - halfY) * 0.9);
}

int KTable::tableSize() { return g_table.tableSize; }

float KTable::cosAt(int index) {
    if (!g_table.cosTable) return static_cast<float>(std::cos(angleOf(wrapIndex(index), g_table.tableSize)));
    return g_table.cosTable[wrapIndex(index)];
}

float KTable::sinAt(int index) {
    if (!g_table.sinTable) return static_cast<float>(std::sin(angleOf(wrapIndex(index), g_table.tableSize)));
    return g_table.sinTable[wrapIndex(index)];
}

int KTable::xRes() { return g_table.xRes; }
int KTable::yRes() { return g_table.yRes; }
float KTable::fov() { return g_table.fov; }
float KTable::projectionScaleX() { return g_table.projectionScaleX; }
float KTable::projectionScaleY() { return g_table.projectionScaleY; }
float KTable::clipConstant() { return g_table.clipConstant; }
int KTable::renderFlags() { return g_table.renderFlags; }
void KTable::setRenderFlags(int flags) { g_table.renderFlags = flags; }
