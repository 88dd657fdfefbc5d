#pragma once
// Writes 3D Studio (.3ds) chunk images: a low-level ChunkWriter that nests chunks and fills in
// their lengths, and write3ds, which lays out a whole scene the way 3D Studio does (main chunk,
// editing section with materials and objects, keyframer section). Used by tests, tools and the
// content generator; not part of the program.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace support3ds {

// Chunk identifiers the writer uses.
namespace id {
constexpr uint16_t kMain = 0x4D4D, kVersion = 0x0002, kEditor = 0x3D3D, kMeshVersion = 0x3D3E,
                   kMasterScale = 0x0100, kColourFloat = 0x0010, kColourBytes = 0x0011,
                   kPercentInt = 0x0030, kPercentFloat = 0x0031;
constexpr uint16_t kMaterial = 0xAFFF, kMatName = 0xA000, kMatAmbient = 0xA010, kMatDiffuse = 0xA020,
                   kMatSpecular = 0xA030, kMatTransparency = 0xA050, kMatWire = 0xA085,
                   kMatWireSize = 0xA087, kMatTexMap = 0xA200, kMatReflMap = 0xA220,
                   kMatBumpMap = 0xA230, kMatMapFile = 0xA300;
constexpr uint16_t kObject = 0x4000, kTrimesh = 0x4100, kVertexList = 0x4110, kVertexOptions = 0x4111,
                   kFaceList = 0x4120, kMaterialGroup = 0x4130, kSmoothing = 0x4150,
                   kMappingCoords = 0x4140, kLocalAxes = 0x4160, kLight = 0x4600, kCamera = 0x4700;
constexpr uint16_t kKeyframer = 0xB000, kKeyObject = 0xB002, kKeyCamera = 0xB003,
                   kKeyCameraTarget = 0xB004, kKeyLight = 0xB005, kKeyframes = 0xB008,
                   kCurrentFrame = 0xB009, kKeyHeader = 0xB00A, kNodeHeader = 0xB010,
                   kPivot = 0xB013, kNodeId = 0xB030, kTrackPosition = 0xB020,
                   kTrackRotation = 0xB021, kTrackScale = 0xB022, kTrackFov = 0xB023,
                   kTrackRoll = 0xB024, kTrackColour = 0xB025;
}  // namespace id

class ChunkWriter {
public:
    // Opens a chunk (identifier and a length to be filled in); returns the header's offset.
    size_t begin(uint16_t chunkId);
    // Closes the innermost open chunk, writing its length (header included).
    void end();

    void u8(uint8_t value) { bytes_.push_back(value); }
    void u16(uint16_t value);
    void u32(uint32_t value);
    void f32(float value);
    void floats(std::initializer_list<float> values);
    void string(std::string_view text);  // the characters and a zero byte
    void raw(const void* data, size_t size);

    // A whole chunk: header, then the payload the caller writes between begin and end.
    void header(uint16_t chunkId, uint32_t length);  // a header with a length given by hand
    void patchU32(size_t offset, uint32_t value);

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
struct Rgb8 {
    uint8_t red = 0, green = 0, blue = 0;
};

struct MapSpec {
    std::string file;
    uint16_t percent = 100;
};

struct Material {
    std::string name;
    std::optional<Rgb8> ambient, diffuse, specular;
    std::optional<uint16_t> transparency;  // percent
    bool wire = false;
    std::optional<float> wireSize;
    std::optional<MapSpec> texture, reflection, bump;
};

struct Face {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t flags = 7;
};

struct MaterialGroup {
    std::string material;
    std::vector<uint16_t> faces;
};

struct Mesh {
    std::string name;
    std::vector<Vec3> vertices;
    std::vector<std::array<float, 2>> mapping;    // empty: no mapping chunk
    std::optional<std::array<float, 12>> local;   // x, y, z axes, then the position
    bool faceList = true;                         // false: no face list at all
    std::vector<Face> faces;
    std::vector<MaterialGroup> groups;            // children of the face list
    bool smoothing = false;                       // a smoothing-group chunk behind the groups
};

struct Light {
    std::string name;
    Vec3 position;
    Vec3 colour{1, 1, 1};  // 0 to 1
};

struct Camera {
    std::string name;
    Vec3 position, target;
    float bank = 0, lens = 50;
};

// One key of a track: frame, flag word, the values of the flagged optional fields in bit order
// (tension, continuity, bias, ease to, ease from, others), then the key's own values.
struct Key {
    uint32_t frame = 0;
    uint16_t flags = 0;
    std::vector<float> optional;
    std::vector<float> values;
};

struct Track {
    uint16_t flags = 0;
    std::vector<Key> keys;
};

struct Node {
    uint16_t kind = id::kKeyObject;  // kKeyObject, kKeyCamera, kKeyCameraTarget or kKeyLight
    std::string name;
    uint16_t nodeId = 0;
    uint16_t parent = 0xFFFF;
    // Written in the order 3D Studio uses: position, rotation, scale (objects), position, field
    // of view, roll (cameras), position, colour (lights).
    std::optional<Track> position, rotation, scale, fov, roll, colour;
};

struct Keyframer {
    uint32_t start = 0, end = 100;
    std::vector<Node> nodes;
};

struct Scene {
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
    std::vector<Light> lights;
    std::vector<Camera> cameras;
    std::optional<Keyframer> keyframer;
};

// A side x side-cell grid of triangles with its vertex (x, y) at vertexAt(x, y), x and y from 0 to
// side, wound to face a camera on the negative z side; identity local axes.
Mesh gridMesh(const std::string& name, int side, const std::function<Vec3(int x, int y)>& vertexAt);

// The pieces of the standard layout, for images that need an unusual order.
void writeMaterial(ChunkWriter& w, const Material& material);
void writeMeshObject(ChunkWriter& w, const Mesh& mesh);
void writeTrimesh(ChunkWriter& w, const Mesh& mesh);  // the 4100 chunk alone
void writeLightObject(ChunkWriter& w, const Light& light);
void writeCameraObject(ChunkWriter& w, const Camera& camera);
void writeTrack(ChunkWriter& w, uint16_t trackId, const Track& track);
void writeNode(ChunkWriter& w, const Node& node);
void writeKeyframer(ChunkWriter& w, const Keyframer& keyframer);

// The whole file: main chunk, editing section (materials, then meshes, lights, cameras), then the
// keyframer section if the scene has one.
std::vector<uint8_t> write3ds(const Scene& scene);

}  // namespace support3ds
