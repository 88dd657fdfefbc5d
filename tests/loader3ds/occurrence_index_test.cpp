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
    for (size_t size : {size_t(2), size_t(3), size_t(130), size_t(5000), size_t(70000)}) {
        SCOPED_TRACE(size);
        // Mostly zeros and a few ones and twos: ids from everywhere (0x0000) to nowhere (0x0303).
        std::vector<uint8_t> image(size);
        for (uint8_t& b : image) b = uint8_t(std::rand() % 40 == 0 ? 1 + std::rand() % 2 : 0);
        OccurrenceIndex index(image.data(), image.size());
        const uint64_t positions = size - 1;
        const uint16_t ids[] = {0x0000, 0x0001, 0x0100, 0x0201, 0x0102, 0x0202, 0x0303};
        for (int i = 0; i < 20000; ++i) {
            const uint16_t id = ids[std::rand() % 7];
            const uint64_t from = uint64_t(std::rand()) % positions;
            const uint64_t reach = std::rand() % 3 == 0 ? positions : from + 1 + uint64_t(std::rand()) % 300;
            const uint64_t end = std::min(reach, positions);
            ASSERT_EQ(index.find(id, from, end), plainFind(image, id, from, end))
                << "id " << id << " from " << from << " end " << end;
        }
    }
}
