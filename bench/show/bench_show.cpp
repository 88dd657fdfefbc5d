// The line field's cost: its 117 lines (density 700) generated, projected and drawn textured,
// blended and smoothed at the widths the scenes leave (3 and 10 pixels of the small picture), at
// scales 1 and 4, natively and as quads, into a hidden context set up as the window sets up its own.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "math/ktable.h"
#include "math/projection.h"
#include "render/lines.h"
#include "show/line_field.h"
#include "show/show_state.h"
#include "support/gl_context.h"

namespace {

constexpr int kLargestScale = 4;

struct Stage {
    TestGLContext gl{projection::kWindowWidth * kLargestScale, projection::kWindowHeight * kLargestScale};
    KTable table{65536, projection::kPictureWidth, projection::kPictureHeight, 32, projection::kFov};
    GLuint feedback = 0;
    LineField field;

    Stage() {
        // A feedback texture of a bright pattern, as a lit scene leaves it.
        std::vector<unsigned char> texels(256 * 256 * 4);
        for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>(i * 7 % 251);
        glGenTextures(1, &feedback);
        glBindTexture(GL_TEXTURE_2D, feedback);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        field.allocate(700);
    }

    // The window's viewport and matrices at the scale.
    static void useScale(int scale) {
        const projection::Matrices m =
            projection::window(projection::kWindowWidth * scale, projection::kWindowHeight * scale,
                               projection::kPictureWidth * scale, projection::kPictureHeight * scale, projection::kFov);
        glViewport(m.viewport[0], m.viewport[1], m.viewport[2], m.viewport[3]);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(m.projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(m.modelView);
    }
};

Stage& stage() {
    static Stage s;
    return s;
}

// Arguments: way (0 native, 1 quads), scale, width.
void lineField(benchmark::State& state) {
    Stage& s = stage();
    const int scale = int(state.range(1));
    Stage::useScale(scale);
    useLineWay(state.range(0) ? LineWay::quads : LineWay::native, {255.0f, 255.0f});
    setLinePixelScale(scale);
    ShowState show;
    show.pixelScale = scale;
    show.boxWidth = 130;
    show.boxHeight = 120;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, s.feedback);
    glColor4f(0.8f, 0.9f, 1.0f, 0.5f);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        LineField::glState();
        setLineWidth(float(state.range(2)));
        s.field.draw(show, 1.0f);
        glFinish();
    }
    state.SetLabel(state.range(0) ? "quads" : "native");
    state.counters["lines"] = double(LineField::vertexCount(show.density) / 2);
}

}  // namespace

BENCHMARK(lineField)
    ->ArgNames({"quads", "scale", "width"})
    ->ArgsProduct({{0, 1}, {1, kLargestScale}, {3, 10}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
