#include "show/cue_list.h"

#include "platform/clock.h"

CueList::CueList(std::span<const int32_t> table) {
    for (int32_t t : table) {
        if (t == kEndMarker) break;
        times_.push_back(t);
    }
    times_.push_back(kEndMarker);
}

bool CueList::fire() {
    int32_t due = times_[next_];
    if (due == kEndMarker || due > currentTicks()) return false;
    lastFired_ = due;
    ++next_;
    return true;
}
