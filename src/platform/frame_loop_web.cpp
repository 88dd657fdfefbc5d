// The browser's frame loop: each frame runs from the browser's event loop, one per animation
// frame when paced, back to back otherwise; when the last one is done the program ends with
// finish's status.
#include <emscripten.h>

#include <cstdlib>
#include <utility>

#include "platform/frame_loop.h"

namespace {

struct Loop {
    bool paced;
    std::function<bool()> frame;
    std::function<int()> finish;
    bool started = false;
};

void turn(void* state) {
    Loop& loop = *static_cast<Loop*>(state);
    if (!loop.started) {
        loop.started = true;
        if (!loop.paced) emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
    }
    if (loop.frame()) return;
    emscripten_cancel_main_loop();
    emscripten_force_exit(loop.finish());
}

}  // namespace

int runFrameLoop(bool paced, std::function<bool()> frame, std::function<int()> finish) {
    // Lives until the program ends: the browser calls back into it after this returns.
    auto* loop = new Loop{paced, std::move(frame), std::move(finish)};
    emscripten_set_main_loop_arg(turn, loop, 0, true);
    return EXIT_FAILURE;  // not reached: the loop above never returns
}
