// The walk's identifier index against the plain byte-by-byte search it stands for: random images
// and searches of every kind (overlapping, going back, windows short and long, runs of blocks no
// search has seen), on one index that keeps its tables from search to search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "loader3ds/occurrence_index.h"

namespace {

uint64_t plainFind(const std::vector<uint8_t>& image, uint16_t id, uint64_t from, uint64_t end) {
    for (uint64_t p = from; p < end; ++p)
        if ((image[p] | image[p + 1] << 8) == id) return p;
    return end;
}

}  // namespace

TEST(OccurrenceIndex, AnswersAsThePlainSearch) {
    // Up to several pages of the index's table; searches to the end stay few on the largest.
    for (size_t size : {size_t(2), size_t(3), size_t(300), size_t(5000), size_t(70000), size_t(600000)}) {
        SCOPED_TRACE(size);
        // Mostly zeros and a few ones and twos: ids from everywhere (0x0000) to rare (0x0202), and
        // 0x0303 only now and then across a boundary of 64 bytes, where blocks and runs meet.
        std::vector<uint8_t> image(size);
        for (uint8_t& b : image) b = uint8_t(std::rand() % 40 == 0 ? 1 + std::rand() % 2 : 0);
        for (size_t p = 63; p + 1 < size; p += 64)
            if (std::rand() % 16 == 0) image[p] = image[p + 1] = 3;
        OccurrenceIndex index(image.data(), image.size());
        const uint64_t positions = size - 1;
        const uint16_t ids[] = {0x0000, 0x0001, 0x0100, 0x0201, 0x0102, 0x0202, 0x0303};
        for (int i = 0; i < 20000; ++i) {
            const uint16_t id = ids[std::rand() % 7];
            const uint64_t from = uint64_t(std::rand()) % positions;
            const bool toTheEnd = std::rand() % (size > 100000 ? 40 : 3) == 0;
            const uint64_t reach = toTheEnd ? positions : from + 1 + uint64_t(std::rand()) % 3000;
            const uint64_t end = std::min(reach, positions);
            ASSERT_EQ(index.find(id, from, end), plainFind(image, id, from, end))
                << "id " << id << " from " << from << " end " << end;
        }
    }
}
