// The streaming directory reader against the whole-file reference: identical results for every
// input and every chunk size, bytes read only as far as the directory, and short reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/directory_reader.h"
#include "archive/reference_directory.h"
#include "support/numbered.h"

namespace {

const std::string M = archive_format::kMarker;

// Serves a byte string through the read callback, optionally failing after `limit` bytes.
struct MemorySource {
    explicit MemorySource(const std::string& bytes, size_t limit = SIZE_MAX) : bytes(bytes), limit(limit) {}
    size_t operator()(uint8_t* into, size_t max) {
        size_t n = std::min({max, bytes.size() - at, limit - std::min(limit, at)});
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        return n;
    }
    const std::string& bytes;
    size_t limit;
    size_t at = 0;
};

using Entries = std::vector<ArchiveEntry>;

bool same(const Entries& a, const Entries& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].size != b[i].size || a[i].offset != b[i].offset) return false;
    return true;
}

// Random archives, mostly almost well formed, so that every branch of the reader is reached.
std::string randomArchive(std::mt19937& rng) {
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const char* pieces[] = {"@", "@@", "a", "dir/", "B", " ", "-", "+", "7", "12", "x", "\\", "0"};
    auto junk = [&](int count) {
        std::string s;
        for (int i = 0; i < count; ++i) s += pieces[pick(13)];
        return s;
    };
    std::string out = junk(pick(4));
    if (pick(10) != 0) out += pick(8) == 0 ? M.substr(0, size_t(pick(45))) + M : M;
    out += pick(6) == 0 ? "x" : "@";
    if (pick(5) == 0) out += "@";
    int entries = pick(6);
    for (int i = 0; i < entries; ++i) {
        out += pick(12) == 0 ? junk(pick(3)) : numbered("n", pick(100));
        out += "@";
        out += pick(8) == 0 ? junk(pick(4)) : std::to_string(pick(6));
        out += "@";
    }
    if (pick(8) != 0) out += "@";
    out += junk(pick(20));
    if (pick(10) == 0) out.resize(size_t(pick(int(out.size()) + 1)));
    return out;
}

}  // namespace

TEST(StreamingDirectory, MatchesWholeFileReferenceOnRandomArchives) {
    std::mt19937 rng(1234);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = randomArchive(rng);
        if (bytes.empty()) continue;
        Entries ref;
        int refCode = reference::parseDirectory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ref);
        opened += refCode == 0 && !ref.empty();
        for (size_t chunk : {size_t(1), size_t(2), size_t(7), size_t(64), kDirectoryChunk}) {
            MemorySource source(bytes);
            Entries got;
            DirectoryResult result = readDirectory(int64_t(bytes.size()), source, got, chunk);
            ASSERT_EQ(result.code, refCode) << "input: " << bytes << " chunk " << chunk;
            ASSERT_TRUE(same(got, ref)) << "input: " << bytes << " chunk " << chunk;
        }
    }
    EXPECT_GT(opened, 300);  // the generator really produces readable archives
}

TEST(StreamingDirectory, ReadsOnlyAsFarAsTheDirectory) {
    std::string head = "prefix" + M + "@a@100000@b@100000@@";
    std::string bytes = head + std::string(200000, 'z');
    for (size_t chunk : {size_t(1), size_t(100), size_t(4096)}) {
        MemorySource source(bytes);
        Entries got;
        DirectoryResult result = readDirectory(int64_t(bytes.size()), source, got, chunk);
        ASSERT_EQ(result.code, 0);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[1].offset, int32_t(head.size()) + 100000);
        EXPECT_GE(result.bytesRead, int64_t(head.size()));
        EXPECT_LT(result.bytesRead, int64_t(head.size() + chunk));
    }
}

TEST(StreamingDirectory, ShortReadBeforeTheDirectoryEnds) {
    std::string bytes = M + "@a@3@b@4@@" + "abcdefg";
    size_t directoryEnd = M.size() + 10;
    // The file delivers fewer bytes than its length while the directory is still being read.
    for (size_t limit : {size_t(0), size_t(10), M.size() + 1, directoryEnd - 1}) {
        MemorySource source(bytes, limit);
        Entries got;
        DirectoryResult result = readDirectory(int64_t(bytes.size()), source, got, 4);
        EXPECT_EQ(result.code, -4) << limit;
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(result.bytesRead, int64_t(limit));
    }
    // Bytes missing only beyond the chunk that ends the directory are never asked for.
    MemorySource source(bytes, directoryEnd + 4);
    Entries got;
    EXPECT_EQ(readDirectory(int64_t(bytes.size()), source, got, 4).code, 0);
    EXPECT_EQ(got.size(), 2u);
}
