// Draws a lit 101 x 101-vertex grid (20,000 triangles) into a hidden 320 x 240 context set up as
// the window does. CPU work and submission are timed apart, then whole frames, their outlines
// smoothed and 3 pixels wide, natively and as quads.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "math/ktable.h"
#include "render/lines.h"
#include "render/mesh_renderer.h"
#include "render/render.h"
#include "scene/kscene.h"
#include "support/gl_context.h"
#include "support_3ds/chunk_builder.h"

namespace {

constexpr int kSide = 100;  // cells per side: 2 x 100 x 100 triangles

std::vector<uint8_t> gridFile() {
    support3ds::Scene s;
    // Wound to face the camera at z = -20.
    s.meshes = {support3ds::gridMesh("grid", kSide, [](int x, int y) {
        const float fx = float(x) / kSide * 16.0f - 8.0f, fy = float(y) / kSide * 16.0f - 8.0f;
        return support3ds::Vec3{fx, fy, 0.5f * std::sin(fx) * std::cos(fy)};
    })};
    s.lights = {{"Key", {0, 0, -50}, {1, 1, 1}}, {"Rim", {30, 10, -5}, {0.6f, 0.3f, 0.3f}}};
    return support3ds::write3ds(s);
}

struct Stage {
    TestGLContext gl{320, 240};
    KTable table{65536, 320, 240, 32, 45.0f};
    std::unique_ptr<KScene> scene;

    Stage() {
        glViewport(0, 0, 320, 240);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 1.0, 1.0, 100000000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glOrtho(-1.0, 1.0, -1.0, 1.0, 0.0, 1.0);
        KTable::computeProjectionScale();
        const std::vector<uint8_t> bytes = gridFile();
        scene = std::make_unique<KScene>("grid.3ds", bytes.data(), bytes.size());
        scene->getMesh(0).setRenderMode(2);
    }
};

Stage& stage() {
    static Stage s;
    return s;
}

// surfaceMode from the benchmark argument: 3 flat-lit, 5 per-vertex-lit.
KMesh& prepare(benchmark::State& state) {
    Stage& s = stage();
    KMesh& mesh = s.scene->getMesh(0);
    mesh.setSurfaceMode(int(state.range(0)));
    s.scene->getCurrentCamera().buildMatrix();
    View& view = s.scene->getView();
    view.viewportCount = s.scene->getViewportCount();
    view.viewports = s.scene->getViewports();
    MeshRenderer::attach(mesh, view);
    return mesh;
}

void cpuWork(benchmark::State& state) {
    KMesh& mesh = prepare(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MeshRenderer::classify(mesh));
        MeshRenderer::selectPolygons(mesh);
        MeshRenderer::shade(mesh);
        MeshRenderer::project(mesh);
    }
    state.counters["polygons"] = double(stage().scene->getView().drawCount);
}

void submission(benchmark::State& state) {
    KMesh& mesh = prepare(state);
    MeshRenderer::classify(mesh);
    MeshRenderer::selectPolygons(mesh);
    MeshRenderer::shade(mesh);
    MeshRenderer::project(mesh);
    for (auto _ : state) {
        MeshRenderer::renderViewports(mesh);
        glFinish();
    }
}

// Arguments: surface mode, hidden lines, outlines as quads (smoothed, 3 pixels wide).
void wholeFrame(benchmark::State& state) {
    prepare(state);
    if (state.range(1)) enableHiddenLines();
    useLineWay(state.range(2) ? LineWay::quads : LineWay::native, {255.0f, 255.0f});
    enableLineSmoothing();
    setLineWidth(3.0f);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderScene(*stage().scene);
        glFinish();
    }
    state.SetLabel(state.range(2) ? "quads" : "native");
    useLineWay(LineWay::native, {255.0f, 255.0f});
    disableLineSmoothing();
    setLineWidth(1.0f);
    disableHiddenLines();
}

}  // namespace

BENCHMARK(cpuWork)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(submission)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(wholeFrame)
    ->Args({3, 0, 0})
    ->Args({5, 0, 0})
    ->Args({5, 1, 0})
    ->Args({5, 0, 1})
    ->Args({5, 1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
