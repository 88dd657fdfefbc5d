#pragma once
// Where an identifier next occurs in the file image, for the chunk walk's byte-wise searches.
// Internal to the loader.
//
// A chunk's length bounds its searches, and a crafted file can claim lengths of gigabytes chunk
// after chunk, so that every search runs over the rest of the file again. A search therefore
// reads only the bytes up to the end of its first 256-byte block itself and takes the rest from a
// table per identifier that remembers, for every block a search has passed, either the first
// occurrence at or after its start or the block where the bytes not yet scanned begin. Each block
// is scanned at most once per identifier, and never further than a search reaches, so all
// searches together cost at most one scan of the file per identifier.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class OccurrenceIndex {
public:
    OccurrenceIndex(const uint8_t* data, size_t size);

    // The first position p in [from, end) where the u16 at p (low byte first) equals id, or end if
    // there is none. end must not exceed size - 1, so that every position holds a whole u16.
    uint64_t find(uint16_t id, uint64_t from, uint64_t end);

private:
    static constexpr uint64_t kBlock = 256;
    static constexpr uint64_t kRun = 16;  // blocks scanned at most in one go
    // A table entry: kUnknown, or the first occurrence at or after the block's start plus one
    // (positions_ + 1 for none), or kScanFrom | the block where the bytes not yet scanned begin.
    static constexpr uint32_t kUnknown = 0;
    static constexpr uint32_t kScanFrom = 0x80000000u;
    static bool isScanFrom(uint32_t entry) { return (entry & kScanFrom) != 0; }
    // A table is kept in pages of entries, each made when a search first reaches it: a search
    // costs nothing for the parts of a large file it never passes.
    static constexpr uint64_t kPageBits = 10;
    using Table = std::vector<std::unique_ptr<uint32_t[]>>;

    uint64_t scan(uint16_t id, uint64_t from, uint64_t end) const;
    Table& table(uint16_t id);
    static inline uint32_t& entry(Table& table, uint64_t block);
    uint64_t firstFromBlock(uint16_t id, uint64_t block, uint64_t end);

    const uint8_t* data_;
    uint64_t positions_;  // positions that hold a whole u16: size - 1
    uint64_t blocks_;
    bool indexed_;        // entries hold 31-bit positions: images of 2 GiB and more are only scanned
    std::unordered_map<uint16_t, Table> tables_;
};
