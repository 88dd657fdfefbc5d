// Opening archives: directory-open time and peak memory for a 1 GiB archive of 1000 files, the
// same for a 64 MiB archive read whole (the simple way) and streamed, and a marker found only
// after a 64 MiB prefix. The archives are sparse temporary files, removed at the end.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "archive/file_server.h"
#include "archive/reference_directory.h"
#include "support_archive/archive_writer.h"

// ---- heap accounting: every operator new/delete goes through a size header ----

namespace {
std::atomic<int64_t> g_live{0}, g_peak{0};
constexpr size_t kHeader = 16;

void* track(size_t n) {
    auto* p = static_cast<char*>(std::malloc(n + kHeader));
    if (!p) throw std::bad_alloc();
    *reinterpret_cast<size_t*>(p) = n;
    int64_t live = g_live += int64_t(n);
    for (int64_t peak = g_peak; live > peak && !g_peak.compare_exchange_weak(peak, live);) {}
    return p + kHeader;
}
void untrack(void* q) {
    if (!q) return;
    char* p = static_cast<char*>(q) - kHeader;
    g_live -= int64_t(*reinterpret_cast<size_t*>(p));
    std::free(p);
}
}  // namespace

void* operator new(size_t n) { return track(n); }
void* operator new[](size_t n) { return track(n); }
void operator delete(void* p) noexcept { untrack(p); }
void operator delete[](void* p) noexcept { untrack(p); }
void operator delete(void* p, size_t) noexcept { untrack(p); }
void operator delete[](void* p, size_t) noexcept { untrack(p); }

namespace {

// Peak resident memory of the whole process since the last reset, in bytes (Linux).
void resetPeakRss() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}
int64_t peakRss() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
    return 0;
}

struct Fixture {
    std::string path;
    int64_t size = 0;
};

// A canonical archive of `files` equal files filling `total` bytes, after `prefix` bytes; the file
// data is a hole, so the archive costs no disk space.
Fixture makeArchive(const std::string& name, int64_t total, int files, int64_t prefix) {
    Fixture f;
    f.path = (std::filesystem::temp_directory_path() / (name + "." + std::to_string(getpid()) + ".dat")).string();
    std::vector<std::string> names;
    std::vector<int64_t> sizes;
    for (int i = 0; i < files; ++i) {
        names.push_back("data/file" + std::to_string(i) + ".bin");
        sizes.push_back(0);
    }
    std::string directory = archiveDirectory(names, sizes);  // sizes have few digits: fix them below
    int64_t each = (total - prefix - int64_t(directory.size()) - files * 9) / files;
    for (auto& s : sizes) s = each;
    directory = archiveDirectory(names, sizes);
    f.size = prefix + int64_t(directory.size()) + each * files;
    {
        std::ofstream out(f.path, std::ios::binary | std::ios::trunc);
        out.seekp(prefix);
        out.write(directory.data(), std::streamsize(directory.size()));
    }
    std::filesystem::resize_file(f.path, uintmax_t(f.size));
    return f;
}

Fixture g_big, g_medium, g_late;

void report(benchmark::State& state, const Fixture& f, int64_t heapPeak, int64_t rssPeak) {
    state.counters["archive_MiB"] = double(f.size) / (1 << 20);
    state.counters["peak_heap_KiB"] = double(heapPeak) / 1024;
    state.counters["peak_rss_MiB"] = double(rssPeak) / (1 << 20);
}

// Peak memory is measured on one untimed open; the timed loop only opens.
template <typename Open>
void measure(benchmark::State& state, const Fixture& f, Open open) {
    resetPeakRss();
    int64_t before = g_live;
    g_peak = before;
    if (!open()) {
        state.SkipWithError("archive did not open");
        return;
    }
    int64_t heapPeak = g_peak - before, rssPeak = peakRss();
    for (auto _ : state) benchmark::DoNotOptimize(open());
    report(state, f, heapPeak, rssPeak);
}

void streamingOpen(benchmark::State& state, const Fixture& f, size_t expectedEntries) {
    measure(state, f, [&] {
        FileServer::Archive archive;
        return archive.open(f.path.c_str()) == 0 && archive.entries().size() == expectedEntries;
    });
}

void BM_Open1GiB1000Files(benchmark::State& state) { streamingOpen(state, g_big, 1000); }
void BM_Open64MiB(benchmark::State& state) { streamingOpen(state, g_medium, 1000); }
void BM_OpenMarkerAfter64MiBPrefix(benchmark::State& state) { streamingOpen(state, g_late, 10); }

// The simple way: the whole file in memory, then the directory.
void BM_WholeFileOpen64MiB(benchmark::State& state) {
    measure(state, g_medium, [&] {
        std::vector<uint8_t> bytes(size_t(g_medium.size));
        std::FILE* file = std::fopen(g_medium.path.c_str(), "rb");
        size_t got = file ? std::fread(bytes.data(), 1, bytes.size(), file) : 0;
        if (file) std::fclose(file);
        std::vector<reference::Entry> entries;
        return got == bytes.size() && reference::parseDirectory(bytes.data(), got, entries) == 0;
    });
}

BENCHMARK(BM_Open1GiB1000Files)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Open64MiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeFileOpen64MiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenMarkerAfter64MiBPrefix)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    g_big = makeArchive("glimmer_bench_1g", int64_t(1) << 30, 1000, 0);
    g_medium = makeArchive("glimmer_bench_64m", int64_t(64) << 20, 1000, 0);
    g_late = makeArchive("glimmer_bench_late", int64_t(65) << 20, 10, int64_t(64) << 20);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const Fixture* f : {&g_big, &g_medium, &g_late}) std::filesystem::remove(f->path);
    return 0;
}
