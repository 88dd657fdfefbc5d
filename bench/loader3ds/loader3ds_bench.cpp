// Loads a large generated scene (21 meshes, 210,000 vertices, 411,642 polygons, keyframer
// section) from memory: with K3DSContainer under the program's log configuration (threshold 0,
// file output off, no sink), and with Debian's lib3ds through its memory-reader interface.
// Both report bytes per second over the same image.
//
// loadCrafted walks images of 0.3, 1.4 and 14 MB built to defeat the byte-wise searches: EDIT3DS
// chunks that claim almost 2 GiB, each followed by a tiny EDITOBJECT, so that every EDIT3DS
// searches the rest of the file for a material section that is not there. The time per MB stays
// flat when the searches' total work is linear in the file size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/debug_server.h"
#include "loader3ds/k3ds_container.h"
#include "support_3ds/chunk_builder.h"

extern "C" {
#include <lib3ds/file.h>
#include <lib3ds/io.h>
#include <lib3ds/mesh.h>
}

using namespace support3ds;

namespace {

constexpr int kMeshes = 21;
constexpr int kGrid = 100;  // vertices per side: 10,000 per mesh, 19,602 polygons

// The walk's search behind each vertex list runs over the mapping coordinates and the local axes.
// They are multiples of 1/128 below 8, whose bytes hold no 30 41 pair (0x4130), so the search does
// not mis-hit and the walk reads every mesh whole. (11.0 is 00 00 30 41: a position of 11 would
// end a mesh early.)
Mesh gridMesh(int index) {
    Mesh m;
    m.name = "grid" + std::to_string(index);
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            float x = i * 0.5f, y = j * 0.5f;
            m.vertices.push_back({x + index, y, std::sin(x * 0.3f) * std::cos(y * 0.2f)});
            m.mapping.push_back({float(i % 128) / 128.0f, float(j % 128) / 128.0f});
        }
    }
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, index * 0.25f, 0, 0};
    for (int j = 0; j + 1 < kGrid; ++j) {
        for (int i = 0; i + 1 < kGrid; ++i) {
            uint16_t a = uint16_t(j * kGrid + i), b = uint16_t(a + 1), c = uint16_t(a + kGrid), d = uint16_t(c + 1);
            m.faces.push_back({a, b, d, 7});
            m.faces.push_back({a, d, c, 7});
        }
    }
    MaterialGroup g{index % 2 ? "stone" : "metal", {}};
    for (size_t f = 0; f < m.faces.size(); ++f) g.faces.push_back(uint16_t(f));
    m.groups.push_back(std::move(g));
    m.smoothing = true;
    return m;
}

Track keys(int count, int values) {
    Track t;
    for (int k = 0; k < count; ++k) {
        Key key;
        key.frame = uint32_t(k * 10);
        key.flags = 0x01;
        key.optional = {0.5f};
        for (int v = 0; v < values; ++v) key.values.push_back(float(k + v));
        t.keys.push_back(key);
    }
    return t;
}

const std::vector<uint8_t>& image() {
    static const std::vector<uint8_t> bytes = [] {
        Scene s;
        Material metal, stone;
        metal.name = "metal";
        metal.diffuse = Rgb8{200, 200, 210};
        metal.ambient = Rgb8{20, 20, 20};
        metal.specular = Rgb8{255, 255, 255};
        stone.name = "stone";
        stone.diffuse = Rgb8{120, 110, 100};
        stone.texture = MapSpec{"stone.jpg", 100};
        s.materials = {metal, stone};
        Keyframer k{0, 200, {}};
        for (int i = 0; i < kMeshes; ++i) {
            s.meshes.push_back(gridMesh(i));
            Node n;
            n.kind = id::kKeyObject;
            n.name = s.meshes.back().name;
            n.nodeId = uint16_t(i);
            n.position = keys(20, 3);
            n.rotation = keys(20, 4);
            n.scale = keys(20, 3);
            k.nodes.push_back(n);
        }
        s.lights = {{"sun", {100, 100, 100}, {1, 1, 0.9f}}};
        s.cameras = {{"view", {0, -50, 20}, {25, 25, 0}, 0, 35}};
        s.keyframer = k;
        return write3ds(s);
    }();
    return bytes;
}

void loadGlimmer(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = image();
    DebugServer log(0, 0);  // the program's configuration: threshold 0, no file, no sink
    for (auto _ : state) {
        K3DSContainer c("bench.3ds", bytes.data(), bytes.size(), log);
        if (c.getMeshCount() != kMeshes || c.getFirstMesh()->polygonCount != 2 * (kGrid - 1) * (kGrid - 1))
            state.SkipWithError("the walk did not read every mesh");
        benchmark::DoNotOptimize(c.getFirstMesh()->x.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

std::vector<uint8_t> craftedImage(size_t bytes) {
    ChunkWriter w;
    while (w.size() + 13 <= bytes) {
        w.header(id::kEditor, 0x7FFFFFF0);
        w.header(id::kObject, 7);
        w.u8(0);  // an empty object name
    }
    return w.take();
}

void loadCrafted(benchmark::State& state) {
    const std::vector<uint8_t> bytes = craftedImage(size_t(state.range(0)));
    DebugServer log(0, 0);
    for (auto _ : state) {
        K3DSContainer c("crafted.3ds", bytes.data(), bytes.size(), log);
        benchmark::DoNotOptimize(c.getMeshCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

struct Memory {
    const uint8_t* data;
    long size;
    long at;
};

Lib3dsBool memError(void*) { return LIB3DS_FALSE; }
long memSeek(void* self, long offset, Lib3dsIoSeek origin) {
    auto* m = static_cast<Memory*>(self);
    long base = origin == LIB3DS_SEEK_SET ? 0 : origin == LIB3DS_SEEK_CUR ? m->at : m->size;
    long to = base + offset;
    if (to < 0 || to > m->size) return -1;
    m->at = to;
    return 0;
}
long memTell(void* self) { return static_cast<Memory*>(self)->at; }
size_t memRead(void* self, void* buffer, size_t size) {
    auto* m = static_cast<Memory*>(self);
    size_t n = std::min<size_t>(size, size_t(m->size - m->at));
    std::memcpy(buffer, m->data + m->at, n);
    m->at += long(n);
    return n;
}
size_t memWrite(void*, const void*, size_t) { return 0; }

void loadLib3ds(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = image();
    for (auto _ : state) {
        Memory memory{bytes.data(), long(bytes.size()), 0};
        Lib3dsIo* io = lib3ds_io_new(&memory, memError, memSeek, memTell, memRead, memWrite);
        Lib3dsFile* file = lib3ds_file_new();
        if (!lib3ds_file_read(file, io)) state.SkipWithError("lib3ds could not read the image");
        int meshes = 0;
        for (Lib3dsMesh* m = file->meshes; m; m = m->next) ++meshes;
        if (meshes != kMeshes) state.SkipWithError("lib3ds did not read every mesh");
        lib3ds_file_free(file);
        lib3ds_io_free(io);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

}  // namespace

BENCHMARK(loadGlimmer)->Unit(benchmark::kMillisecond);
BENCHMARK(loadLib3ds)->Unit(benchmark::kMillisecond);
BENCHMARK(loadCrafted)->Arg(300'000)->Arg(1'400'000)->Arg(14'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
