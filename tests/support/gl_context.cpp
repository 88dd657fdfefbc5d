#include "support/gl_context.h"

#include <SDL.h>

#include <cstdio>

TestGLContext::TestGLContext(int width, int height) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return;
    }
    // The GL driver stays loaded for the whole test process: unloading it unmaps the driver's own
    // globals, and LeakSanitizer then reports everything they held as leaked.
    SDL_GL_LoadLibrary(nullptr);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        return;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) std::fprintf(stderr, "GL context: %s\n", SDL_GetError());
}

TestGLContext::~TestGLContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    // Video stays initialised (see the constructor); SDL cleans up at process exit.
}
