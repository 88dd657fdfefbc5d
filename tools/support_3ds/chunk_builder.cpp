#include "support_3ds/chunk_builder.h"

#include <bit>
#include <cstring>
#include <stdexcept>

namespace support3ds {

size_t ChunkWriter::begin(uint16_t chunkId) {
    size_t at = bytes_.size();
    u16(chunkId);
    u32(0);
    open_.push_back(at);
    return at;
}

void ChunkWriter::end() {
    if (open_.empty()) throw std::logic_error("ChunkWriter::end without begin");
    size_t at = open_.back();
    open_.pop_back();
    patchU32(at + 2, static_cast<uint32_t>(bytes_.size() - at));
}

void ChunkWriter::u16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void ChunkWriter::u32(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void ChunkWriter::f32(float value) { u32(std::bit_cast<uint32_t>(value)); }

void ChunkWriter::floats(std::initializer_list<float> values) {
    for (float v : values) f32(v);
}

void ChunkWriter::string(std::string_view text) {
    raw(text.data(), text.size());
    u8(0);
}

void ChunkWriter::raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

void ChunkWriter::header(uint16_t chunkId, uint32_t length) {
    u16(chunkId);
    u32(length);
}

void ChunkWriter::patchU32(size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

namespace {

void colourChunk(ChunkWriter& w, uint16_t chunkId, Rgb8 colour) {
    w.begin(chunkId);
    w.begin(id::kColourBytes);
    w.u8(colour.red);
    w.u8(colour.green);
    w.u8(colour.blue);
    w.end();
    w.end();
}

void percentChunk(ChunkWriter& w, uint16_t value) {
    w.begin(id::kPercentInt);
    w.u16(value);
    w.end();
}

void mapChunk(ChunkWriter& w, uint16_t chunkId, const MapSpec& map) {
    w.begin(chunkId);
    percentChunk(w, map.percent);
    w.begin(id::kMatMapFile);
    w.string(map.file);
    w.end();
    w.end();
}

}  // namespace

void writeMaterial(ChunkWriter& w, const Material& m) {
    w.begin(id::kMaterial);
    w.begin(id::kMatName);
    w.string(m.name);
    w.end();
    if (m.ambient) colourChunk(w, id::kMatAmbient, *m.ambient);
    if (m.diffuse) colourChunk(w, id::kMatDiffuse, *m.diffuse);
    if (m.specular) colourChunk(w, id::kMatSpecular, *m.specular);
    if (m.transparency) {
        w.begin(id::kMatTransparency);
        percentChunk(w, *m.transparency);
        w.end();
    }
    if (m.wire) {
        w.begin(id::kMatWire);
        w.end();
    }
    if (m.wireSize) {
        w.begin(id::kMatWireSize);
        w.f32(*m.wireSize);
        w.end();
    }
    if (m.texture) mapChunk(w, id::kMatTexMap, *m.texture);
    if (m.reflection) mapChunk(w, id::kMatReflMap, *m.reflection);
    if (m.bump) mapChunk(w, id::kMatBumpMap, *m.bump);
    w.end();
}

void writeTrimesh(ChunkWriter& w, const Mesh& mesh) {
    w.begin(id::kTrimesh);
    w.begin(id::kVertexList);
    w.u16(static_cast<uint16_t>(mesh.vertices.size()));
    for (const Vec3& v : mesh.vertices) w.floats({v.x, v.y, v.z});
    w.end();
    if (!mesh.mapping.empty()) {
        w.begin(id::kMappingCoords);
        w.u16(static_cast<uint16_t>(mesh.mapping.size()));
        for (const auto& uv : mesh.mapping) w.floats({uv[0], uv[1]});
        w.end();
    }
    if (mesh.local) {
        w.begin(id::kLocalAxes);
        for (float f : *mesh.local) w.f32(f);
        w.end();
    }
    if (mesh.faceList) {
        w.begin(id::kFaceList);
        w.u16(static_cast<uint16_t>(mesh.faces.size()));
        for (const Face& f : mesh.faces) {
            w.u16(f.a);
            w.u16(f.b);
            w.u16(f.c);
            w.u16(f.flags);
        }
        for (const MaterialGroup& g : mesh.groups) {
            w.begin(id::kMaterialGroup);
            w.string(g.material);
            w.u16(static_cast<uint16_t>(g.faces.size()));
            for (uint16_t face : g.faces) w.u16(face);
            w.end();
        }
        if (mesh.smoothing) {
            w.begin(id::kSmoothing);
            for (size_t i = 0; i < mesh.faces.size(); ++i) w.u32(1);
            w.end();
        }
        w.end();
    }
    w.end();
}

void writeMeshObject(ChunkWriter& w, const Mesh& mesh) {
    w.begin(id::kObject);
    w.string(mesh.name);
    writeTrimesh(w, mesh);
    w.end();
}

void writeLightObject(ChunkWriter& w, const Light& light) {
    w.begin(id::kObject);
    w.string(light.name);
    w.begin(id::kLight);
    w.floats({light.position.x, light.position.y, light.position.z});
    w.begin(id::kColourFloat);
    w.floats({light.colour.x, light.colour.y, light.colour.z});
    w.end();
    w.end();
    w.end();
}

void writeCameraObject(ChunkWriter& w, const Camera& camera) {
    w.begin(id::kObject);
    w.string(camera.name);
    w.begin(id::kCamera);
    w.floats({camera.position.x, camera.position.y, camera.position.z});
    w.floats({camera.target.x, camera.target.y, camera.target.z});
    w.floats({camera.bank, camera.lens});
    w.end();
    w.end();
}

void writeTrack(ChunkWriter& w, uint16_t trackId, const Track& track) {
    w.begin(trackId);
    w.u16(track.flags);
    w.u32(0);
    w.u32(0);
    w.u32(static_cast<uint32_t>(track.keys.size()));
    for (const Key& key : track.keys) {
        w.u32(key.frame);
        w.u16(key.flags);
        for (float f : key.optional) w.f32(f);
        for (float f : key.values) w.f32(f);
    }
    w.end();
}

void writeNode(ChunkWriter& w, const Node& node) {
    w.begin(node.kind);
    w.begin(id::kNodeId);
    w.u16(node.nodeId);
    w.end();
    w.begin(id::kNodeHeader);
    w.string(node.name);
    w.u16(0);
    w.u16(0);
    w.u16(node.parent);
    w.end();
    if (node.kind == id::kKeyObject) {
        w.begin(id::kPivot);
        w.floats({0, 0, 0});
        w.end();
    }
    if (node.position) writeTrack(w, id::kTrackPosition, *node.position);
    if (node.rotation) writeTrack(w, id::kTrackRotation, *node.rotation);
    if (node.scale) writeTrack(w, id::kTrackScale, *node.scale);
    if (node.fov) writeTrack(w, id::kTrackFov, *node.fov);
    if (node.roll) writeTrack(w, id::kTrackRoll, *node.roll);
    if (node.colour) writeTrack(w, id::kTrackColour, *node.colour);
    w.end();
}

void writeKeyframer(ChunkWriter& w, const Keyframer& k) {
    w.begin(id::kKeyframer);
    w.begin(id::kKeyHeader);
    w.u16(5);
    w.string("");
    w.u32(k.end - k.start);
    w.end();
    w.begin(id::kKeyframes);
    w.u32(k.start);
    w.u32(k.end);
    w.end();
    w.begin(id::kCurrentFrame);
    w.u32(k.start);
    w.end();
    for (const Node& node : k.nodes) writeNode(w, node);
    w.end();
}

std::vector<uint8_t> write3ds(const Scene& scene) {
    ChunkWriter w;
    w.begin(id::kMain);
    w.begin(id::kVersion);
    w.u32(3);
    w.end();
    w.begin(id::kEditor);
    w.begin(id::kMeshVersion);
    w.u32(3);
    w.end();
    for (const Material& m : scene.materials) writeMaterial(w, m);
    w.begin(id::kMasterScale);
    w.f32(1);
    w.end();
    for (const Mesh& m : scene.meshes) writeMeshObject(w, m);
    for (const Light& l : scene.lights) writeLightObject(w, l);
    for (const Camera& c : scene.cameras) writeCameraObject(w, c);
    w.end();
    if (scene.keyframer) writeKeyframer(w, *scene.keyframer);
    w.end();
    return w.take();
}

Mesh gridMesh(const std::string& name, int side, const std::function<Vec3(int x, int y)>& vertexAt) {
    Mesh m;
    m.name = name;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) m.vertices.push_back(vertexAt(x, y));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const uint16_t a = uint16_t(y * (side + 1) + x), b = uint16_t(a + 1), c = uint16_t(a + side + 1),
                           d = uint16_t(c + 1);
            m.faces.push_back({a, c, b, 0});
            m.faces.push_back({b, c, d, 0});
        }
    }
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    return m;
}

}  // namespace support3ds
