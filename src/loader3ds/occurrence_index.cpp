#include "loader3ds/occurrence_index.h"

#include <algorithm>
#include <cstring>

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

OccurrenceIndex::Table& OccurrenceIndex::table(uint16_t id) {
    Table& table = tables_[id];
    if (table.empty()) {
        table.resize((blocks_ >> kPageBits) + 1);
        entry(table, blocks_) = uint32_t(positions_) + 1;  // no occurrence beyond the last block
    }
    return table;
}

uint32_t& OccurrenceIndex::entry(Table& table, uint64_t block) {
    std::unique_ptr<uint32_t[]>& page = table[block >> kPageBits];
    if (!page) [[unlikely]]
        page = std::make_unique<uint32_t[]>(size_t(1) << kPageBits);  // all kUnknown
    return page[block & ((uint64_t(1) << kPageBits) - 1)];
}

// The first occurrence at or after the start of `block`, looked for no further than the block
// that holds end - 1 (a result at or past end means none before end). Only blocks the table
// knows nothing about are scanned, several at once; afterwards every block on the way
// points at the answer or, when the search stopped short of one, at the first block still to be
// scanned.
uint64_t OccurrenceIndex::firstFromBlock(uint16_t id, uint64_t block, uint64_t end) {
    Table& entries = table(id);
    const uint64_t reach = (end + kBlock - 1) / kBlock;  // blocks that hold positions before end
    uint64_t k = block;
    uint32_t answer = kUnknown;
    while (answer == kUnknown) {
        const uint32_t known = entry(entries, k);
        if (isScanFrom(known)) {
            k = known & ~kScanFrom;
        } else if (known != kUnknown) {
            answer = known;
        } else if (k >= reach) {
            answer = kScanFrom | uint32_t(k);
        } else {
            // Up to kRun unknown blocks in one scan: fewer calls, and a hit early in the run
            // wastes little of the look at the entries.
            uint64_t stop = k + 1;
            while (stop < reach && stop - k < kRun && entry(entries, stop) == kUnknown) ++stop;
            const uint64_t runEnd = std::min(stop * kBlock, positions_);
            const uint64_t p = scan(id, k * kBlock, runEnd);
            if (p < runEnd) {
                k = p / kBlock;
                entry(entries, k) = answer = uint32_t(p) + 1;
            } else {
                k = stop;
            }
        }
    }
    // The same path again, pointing every entry on it at the answer.
    for (uint64_t j = block; j < k;) {
        uint32_t& known = entry(entries, j);
        const uint32_t next = isScanFrom(known) ? known & ~kScanFrom : uint32_t(j + 1);
        known = answer;
        j = next;
    }
    return isScanFrom(answer) ? end : answer - 1;
}
