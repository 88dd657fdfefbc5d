#include "platform/window.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "base/exception.h"
#include "math/ktable.h"
#include "math/projection.h"

namespace {

bool hideFramebufferCalls = false;  // a driver without framebuffer objects

void expectMatrix(GLenum which, const std::vector<double>& expected) {
    GLdouble m[16];
    glGetDoublev(which, m);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-6) << "element " << i;
}

void pushKey(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

void pushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

uint32_t pixelAt(int x, int y) {
    uint8_t rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

struct Table {
    KTable table{65536, 320, 240, 32, 45.0f};
};

}  // namespace

// Stands in for SDL's look-up (the program's definition wins over the library's), so a test can
// take the framebuffer calls away.
extern "C" void* SDL_GL_GetProcAddress(const char* name) {
    using Lookup = void* (*)(const char*);
    static const auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "SDL_GL_GetProcAddress"));
    if (hideFramebufferCalls && std::strstr(name, "buffer")) return nullptr;
    return real(name);
}

TEST(Window, OpenSetsTheInitialStateAndProjection) {
    Table t;
    KWindow window("banner", 640, 480, KWindow::kWindowed);
    window.open(1, " ", 324, 265, KWindow::kWindowed);
    ASSERT_TRUE(window.opened());
    EXPECT_TRUE(window.headless());

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 324, 265}));

    // gluPerspective(45, 1, 1, 1e8): the aspect is the integer 320 / 240.
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0), n = 1.0, far = 1e8;
    expectMatrix(GL_PROJECTION_MATRIX, {f, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + n) / (n - far), -1,
                                        0, 0, 2 * far * n / (n - far), 0});
    // The orthographic multiply maps engine z to -2z - 1.
    expectMatrix(GL_MODELVIEW_MATRIX, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, 0, 0, 0, -1, 1});
    // Code without a context projects with exactly what GL holds.
    const projection::Matrices held = projection::window(324, 265, 320, 240, 45.0f);
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    EXPECT_EQ(std::vector<double>(m, m + 16), std::vector<double>(held.projection, held.projection + 16));
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(std::vector<double>(m, m + 16), std::vector<double>(held.modelView, held.modelView + 16));
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), std::vector<GLint>(held.viewport, held.viewport + 4));
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    GLint shade, depthFunc, hint, depthBits;
    GLfloat clearColor[4], clearDepth;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(hint, GL_NICEST);
    EXPECT_GE(depthBits, 24);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(std::vector<float>(clearColor, clearColor + 4), (std::vector<float>{0, 0, 0, 0.5f}));
    EXPECT_EQ(clearDepth, 1.0f);

    // The projection scales were read back from these matrices.
    EXPECT_GT(KTable::projectionScaleX(), 1.0f);
    EXPECT_LT(KTable::projectionScaleX(), 1.2f);

    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window.handle(), &w, &h);
    EXPECT_EQ(w, 324);
    EXPECT_EQ(h, 265);
    window.close();
    EXPECT_FALSE(window.opened());
    window.close();  // harmless a second time
}

TEST(Window, OneEventPerPumpAndEscapeOrQuitEndTheShow) {
    Table t;
    KWindow window("banner", 640, 480, KWindow::kWindowed);
    window.open(1, " ", 324, 265, KWindow::kWindowed);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // start-up events

    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    pushQuit();
    EXPECT_FALSE(window.quitRequested());
    window.pumpMessages();
    EXPECT_TRUE(window.quitRequested());  // Escape held
    EXPECT_EQ(window.keyState(KWindow::kEscape), 1);
    window.pumpMessages();
    EXPECT_FALSE(window.quitRequested());  // released before the loop test: cancelled
    window.pumpMessages();
    EXPECT_TRUE(window.quitRequested());  // the quit request, one pump later

    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    pushKey(SDL_KEYDOWN, 'a');
    window.pumpMessages();
    EXPECT_EQ(window.keyState('A'), 1);
    window.close();
}

TEST(Window, FullScreenDrawsTheLogicalPictureOffscreen) {
    Table t;
    KWindow window("banner", 640, 480, KWindow::kWindowed);
    window.open(1, " ", 320, 240, KWindow::kFullScreen);
    ASSERT_EQ(window.windowMode(), KWindow::kFullScreen);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 240);

    // The scales come out as for a 320 x 240 viewport.
    EXPECT_NEAR(KTable::projectionScaleX(), 1.118f, 0.001f);

    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 10, 10);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    window.swapBuffers();
    // After the swap the read-backs still see the logical picture, and the show's state is kept.
    EXPECT_EQ(pixelAt(5, 5), 0x0000ffu);
    EXPECT_EQ(pixelAt(319, 239), 0xff0000u);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    GLfloat clearColor[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    EXPECT_EQ(clearColor[2], 1.0f);
    glDisable(GL_SCISSOR_TEST);

    window.clear();
    EXPECT_EQ(pixelAt(100, 100), 0u);
    window.close();
}

TEST(Window, HiddenWindowKeepsItsPictureAcrossSwaps) {
    Table t;
    KWindow window("banner", 640, 480, KWindow::kWindowed);
    window.open(1, " ", 324, 265, KWindow::kWindowed);
    window.hide();
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    window.swapBuffers();
    EXPECT_EQ(pixelAt(323, 264), 0x00ff00u);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 324);
    window.close();
}

TEST(Window, HiddenWindowWithoutAnOffscreenTargetIsAFatalError) {
    Table t;
    KWindow window("banner", 640, 480, KWindow::kWindowed);
    hideFramebufferCalls = true;
    window.open(1, " ", 324, 265, KWindow::kWindowed);  // a shown window draws into itself instead
    ASSERT_TRUE(window.opened());
    try {
        window.hide();
        ADD_FAILURE() << "a recording would read back undefined pictures";
    } catch (const ExceptionType& error) {
        EXPECT_STREQ(error.getMessage(), "Error - couldn't create RC! Aborting...");
    }
    hideFramebufferCalls = false;
    window.close();
}

namespace {

// The GL driver frees its per-frame blocks; the heap keeps them for the next frame instead of
// handing them back to the system.
TEST(Window, OpeningKeepsFreedHeapMemoryForTheNextFrame) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer brings its own allocator";
#endif
    KWindow window("heap", 64, 64, KWindow::kWindowed);
    window.open(0, nullptr, 64, 64, KWindow::kWindowed);
    std::vector<void*> blocks;
    for (int i = 0; i < 64; ++i) blocks.push_back(std::malloc(64 << 10));  // 4 MiB, below the mmap threshold
    const size_t before = mallinfo2().arena;
    for (void* b : blocks) std::free(b);
    EXPECT_GE(mallinfo2().arena, before) << "the heap was trimmed";
    EXPECT_GE(mallinfo2().fordblks, size_t(4) << 20);
    window.close();
}

}  // namespace
