#include "loader3ds/occurrence_index.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

OccurrenceIndex::OccurrenceIndex(const uint8_t* data, size_t size)
    : data_(data),
      positions_(data && size >= 2 ? size - 1 : 0),
      blocks_((positions_ + kBlock - 1) / kBlock),
      indexed_(positions_ + 1 < kScanFrom) {}

uint64_t OccurrenceIndex::find(uint16_t id, uint64_t from, uint64_t end) {
    if (from >= end) return end;
    const uint64_t blockEnd = std::min(end, (from / kBlock + 1) * kBlock);
    const uint64_t near = scan(id, from, blockEnd);
    if (near < blockEnd || blockEnd == end) return near;
    if (!indexed_) return scan(id, blockEnd, end);
    return std::min(firstFromBlock(id, from / kBlock + 1, end), end);
}

uint64_t OccurrenceIndex::scan(uint16_t id, uint64_t from, uint64_t end) const {
    const uint8_t low = id & 0xFF, high = id >> 8;
    const uint8_t* p = data_ + from;
    const uint8_t* last = data_ + end;
    while (p < last) {
        p = static_cast<const uint8_t*>(std::memchr(p, low, size_t(last - p)));
        if (!p) return end;
        if (p[1] == high) return uint64_t(p - data_);
        ++p;
    }
    return end;
}

uint32_t* OccurrenceIndex::table(uint16_t id) {
    std::unique_ptr<uint32_t[], Free>& table = tables_[id];
    if (!table) {
        // Zeroed (kUnknown) pages come from the system as they are touched: a search touches only
        // the part of the table it passes.
        table.reset(static_cast<uint32_t*>(std::calloc(blocks_ + 1, sizeof(uint32_t))));
        if (!table) throw std::bad_alloc();
        table[blocks_] = uint32_t(positions_) + 1;  // no occurrence beyond the last block
    }
    return table.get();
}

// The first occurrence at or after the start of `block`, looked for no further than the block
// that holds end - 1 (a result at or past end means none before end). Only blocks the table
// knows nothing about are scanned, several at once; afterwards every block on the way
// points at the answer or, when the search stopped short of one, at the first block still to be
// scanned.
uint64_t OccurrenceIndex::firstFromBlock(uint16_t id, uint64_t block, uint64_t end) {
    uint32_t* entries = table(id);
    const uint64_t reach = (end + kBlock - 1) / kBlock;  // blocks that hold positions before end
    uint64_t k = block;
    uint32_t answer = kUnknown;
    while (answer == kUnknown) {
        const uint32_t entry = entries[k];
        if (isScanFrom(entry)) {
            k = entry & ~kScanFrom;
        } else if (entry != kUnknown) {
            answer = entry;
        } else if (k >= reach) {
            answer = kScanFrom | uint32_t(k);
        } else {
            // Up to kRun unknown blocks in one scan: fewer calls, and a hit early in the run
            // wastes little of the look at the entries.
            uint64_t stop = k + 1;
            while (stop < reach && stop - k < kRun && entries[stop] == kUnknown) ++stop;
            const uint64_t runEnd = std::min(stop * kBlock, positions_);
            const uint64_t p = scan(id, k * kBlock, runEnd);
            if (p < runEnd) {
                k = p / kBlock;
                entries[k] = answer = uint32_t(p) + 1;
            } else {
                k = stop;
            }
        }
    }
    // The same path again, pointing every entry on it at the answer.
    for (uint64_t j = block; j < k;) {
        const uint32_t entry = entries[j];
        entries[j] = answer;
        j = isScanFrom(entry) ? entry & ~kScanFrom : j + 1;
    }
    return isScanFrom(answer) ? end : answer - 1;
}
