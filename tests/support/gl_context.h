#pragma once
// A hidden OpenGL compatibility context for render tests (SDL's offscreen driver under ctest).
struct SDL_Window;

class TestGLContext {
public:
    explicit TestGLContext(int width = 320, int height = 240);
    ~TestGLContext();
    TestGLContext(const TestGLContext&) = delete;
    TestGLContext& operator=(const TestGLContext&) = delete;
    bool ok() const { return context_ != nullptr; }

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};
