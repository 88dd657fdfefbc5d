#include "math/random.h"

#include <cstdint>

namespace {

// One sequence for the whole program, as an unseeded rand has.
uint32_t g_state = 1;

}  // namespace

int randomNumber() {
    g_state = g_state * 214013u + 2531011u;
    return int((g_state >> 16) & uint32_t(kRandomMax));
}

void restartRandomSequence() { g_state = 1; }
