// A frame allocates nothing: every operator new in this program is counted while a frame draws.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "base/debug_server.h"
#include "render/render.h"
#include "render/render_fixture.h"

// AddressSanitizer brings its own operator new, which libraries loaded by the GL driver bind to;
// counting needs the plain allocator, so the sanitizer build skips the count.
#if defined(__SANITIZE_ADDRESS__)
#define GLIMMER_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLIMMER_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef GLIMMER_COUNT_ALLOCATIONS
#define GLIMMER_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

[[maybe_unused]] void* allocate(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

#if GLIMMER_COUNT_ALLOCATIONS
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

using namespace support3ds;
using rendertest::RenderTest;

// A lit sphere-like fan of triangles around the origin, with two lights.
Scene litScene() {
    Mesh m;
    m.name = "fan";
    m.vertices.push_back({0, 0, -2});
    for (int i = 0; i < 12; ++i) {
        const float a = float(i) / 12.0f * 6.2831853f;
        m.vertices.push_back({4 * std::cos(a), 4 * std::sin(a), 0});
    }
    for (uint16_t i = 0; i < 12; ++i) m.faces.push_back({0, uint16_t(1 + (i + 1) % 12), uint16_t(1 + i), 0});
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    Scene s;
    s.meshes = {m, m};
    s.lights = {{"Key", {0, 0, -50}, {1, 1, 1}}, {"Rim", {30, 10, 0}, {0.5f, 0.2f, 0.2f}}};
    return s;
}

TEST_F(RenderTest, DrawingAFrameAllocatesNothing) {
    if (!GLIMMER_COUNT_ALLOCATIONS) GTEST_SKIP() << "allocations are counted in the regular build";
    auto scene = load(litScene());
    scene->getMesh(0).setRenderMode(2);
    scene->getMesh(0).setSurfaceMode(3);
    scene->getMesh(1).setRenderMode(2);
    scene->getMesh(1).setSurfaceMode(5);
    scene->getMesh(1).setTwoSided(true);
    scene->getMesh(1).forceClipping();
    enableHiddenLines();
    setStretch(1.0f, 1.2f, 1.0f);
    enableStretch();
    renderScene(*scene);  // warm up the driver

    // The test's own log keeps every line it gets; the program's log writes nothing.
    debugServer().setThreshold(11);
    allocations = 0;
    counting = true;
    for (int frame = 0; frame < 3; ++frame) {
        scene->getCurrentCamera().getPosition().rotateY(500);
        renderScene(*scene);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(rendertest::litPixels(), 100) << "the frame did draw";
}

}  // namespace
