#pragma once
// A list of cue ticks with a read position. Every moment at which something happens in the show is a
// cue; fire() reads the demo clock itself and lets at most one due cue go per call.
#include <cstdint>
#include <span>
#include <vector>

class CueList {
public:
    static constexpr int32_t kEndMarker = -1;

    // Takes a table of ascending ticks closed by -1; everything after the marker is ignored. A table
    // without a marker is taken whole and closed here.
    explicit CueList(std::span<const int32_t> table);

    // If the next cue is due (not later than the clock), records it as fired and returns true.
    bool fire();
    bool exhausted() const { return times_[next_] == kEndMarker; }

    int32_t lastFired() const { return lastFired_; }
    size_t next() const { return next_; }
    // Number of cues, not counting the end marker.
    size_t size() const { return times_.size() - 1; }

private:
    std::vector<int32_t> times_;
    size_t next_ = 0;
    int32_t lastFired_ = 0;
};
