// The chunk walk. A flat scan: a chunk whose children matter is entered by reading on behind its
// header or by a bounded byte-wise search for the child it expects; any other chunk is skipped.
// The searches step one byte at a time, so they also find an identifier inside other data (a
// float 2.0 holds 0x4000) and the walk takes such a hit as a header; files rely on this being
// exactly so.
//
// Every read is bounded by the image: a read that would leave it ends the walk as an end chunk
// would.
#include "loader3ds/chunk_walk.h"

#include <bit>
#include <cstring>

using trace_text::Fixed;
using trace_text::Hex;
using trace_text::Trunc;

namespace {

constexpr int kTrace = 2;  // level of every walk line but the main chunk's first two

// Chunk identifiers.
enum : uint16_t {
    kMain = 0x4D4D,
    kEdit3ds = 0x3D3D,
    kMliFile = 0x3DAA,
    kMatFile = 0x3DFF,
    kPrjFile = 0xC23D,
    kEditMaterial = 0xAFFF,
    kMatName = 0xA000,
    kMatAmbient = 0xA010,
    kMatDiffuse = 0xA020,
    kMatSpecular = 0xA030,
    kMatTransparency = 0xA050,
    kMatWire = 0xA085,
    kMatWireSize = 0xA087,
    kMatTexMap = 0xA200,
    kMatReflMap = 0xA220,
    kMatBumpMap = 0xA230,
    kMatMapFile = 0xA300,
    kEditObject = 0x4000,
    kObjTrimesh = 0x4100,
    kVertexList = 0x4110,
    kVertexOptions = 0x4111,
    kFaceList = 0x4120,
    kMaterialGroup = 0x4130,
    kMappingCoords = 0x4140,
    kLocalAxes = 0x4160,
    kLight = 0x4600,
    kCamera = 0x4700,
    kColourBytes = 0x0011,
    kPercentFloat = 0x0031,
    kKeyframer = 0xB000,
    kKeyObject = 0xB002,
    kKeyCamera = 0xB003,
    kKeyCameraTarget = 0xB004,
    kKeyLight = 0xB005,
    kKeyframes = 0xB008,
    kNodeHeader = 0xB010,
    kTrackPosition = 0xB020,
    kTrackRotation = 0xB021,
    kTrackScale = 0xB022,
    kTrackFov = 0xB023,
    kTrackRoll = 0xB024,
    kTrackColour = 0xB025,
};

bool isEnd(int32_t id) { return id == 0x0000 || id == kKeyframer || id == 0xFD00 || id == 0xFDFD; }

bool isRedundant(int32_t id) {
    switch (id) {
    case 0x0001: case 0x0002: case 0x0003: case 0x0004: case 0x0005: case 0x0006: case 0x0007:
    case 0x0009: case 0x0010: case 0x0011: case 0x0100: case 0x3E3D: case 0x7012: case 0xFFFF:
        return true;
    default:
        return false;
    }
}

// The record a keyframe node binds to: the one behind the record bound last (the first one at the
// start), if it is a filled record. The empty last record of a chain is never bound.
template <class Record>
Record* bindNext(Record* first, Record*& last) {
    Record* candidate = last ? last->next.get() : first;
    if (candidate && candidate->next) {
        last = candidate;
        return candidate;
    }
    return nullptr;
}

}  // namespace

ChunkWalk::ChunkWalk(K3DSContainer& container, const uint8_t* data, size_t size)
    : container_(container),
      out_(container.log_),
      prefix_(container.prefix_),
      data_(data),
      size_(data ? size : 0),
      index_(data, size_),
      currentMesh_(container.meshes_.get()),
      currentLight_(container.lights_.get()),
      currentCamera_(container.cameras_.get()) {}

// ---- reads ----

void ChunkWalk::need(size_t bytes) const {
    if (cursor_ > size_ || size_ - cursor_ < bytes) throw EndOfImage{};
}

float ChunkWalk::floatAt(uint64_t at) const {
    const uint8_t* p = data_ + at;
    uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    // std::bit_cast in effect; emscripten's C++ library does not have it yet.
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint16_t ChunkWalk::readId() {
    uint16_t id = peekU16();
    cursor_ += 2;
    return id;
}

uint8_t ChunkWalk::peekU8() const {
    need(1);
    return data_[cursor_];
}

uint16_t ChunkWalk::peekU16() const {
    need(2);
    const uint8_t* p = data_ + cursor_;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t ChunkWalk::peekU32() const {
    need(4);
    const uint8_t* p = data_ + cursor_;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float ChunkWalk::peekFloat() const {
    need(4);
    return floatAt(cursor_);
}

std::string_view ChunkWalk::peekString() const {
    need(1);
    const char* start = reinterpret_cast<const char*>(data_ + cursor_);
    const void* zero = std::memchr(start, 0, size_ - cursor_);
    if (!zero) throw EndOfImage{};
    return std::string_view(start, static_cast<const char*>(zero) - start);
}

// Looks for id at the cursor and the following bytes, at most searchBound positions (at least
// one), one byte at a time. On a hit the cursor moves there; otherwise it stays. The index answers
// as that byte-by-byte search would, without going over the same bytes search after search.
uint16_t ChunkWalk::findChunk(uint16_t id) {
    uint64_t positions = searchBound_ > 0 ? uint64_t(searchBound_) : 1;
    if (size_ < 2 || cursor_ > size_ - 2) return 0;
    // Only positions where a whole u16 lies inside the image.
    uint64_t end = std::min<uint64_t>(cursor_ + positions, size_ - 1);
    uint64_t hit = index_.find(id, cursor_, end);
    if (hit == end) return 0;
    cursor_ = hit;
    return id;
}

void ChunkWalk::skip() {
    // A chunk of length 0 would be read again and again from the same place: it ends the walk.
    if (chunkLength_ == 0) {
        done_ = true;
        return;
    }
    cursor_ = chunkStart_ + chunkLength_;
}

// ---- the walk ----

void ChunkWalk::readChunks() {
    try {
        while (!done_) {
            chunkStart_ = cursor_;
            chunkId_ = readId();
            chunkLength_ = peekU32();
            cursor_ += 4;
            searchBound_ = static_cast<int32_t>(chunkLength_);
            dispatch();
        }
    } catch (const EndOfImage&) {
        done_ = true;
    }
}

void ChunkWalk::dispatch() {
    switch (chunkId_) {
    case kMain: return handleMain();
    case kEdit3ds: return handleEdit3ds();
    case kMliFile: chunkLine("A MLIFILE(0x"); return skip();
    case kMatFile: chunkLine("A MATFILE(0x"); return skip();
    case kPrjFile: chunkLine("A PRJFILE(0x"); return skip();
    case kEditMaterial: return handleEditMaterial();
    case kMatName: return handleMatName();
    case kMatAmbient: return handleMatColour(0);
    case kMatDiffuse: return handleMatColour(1);
    case kMatSpecular: return handleMatColour(2);
    case kMatTransparency: return handleMatTransparency();
    case kMatWire: return handleMatWire();
    case kMatWireSize: return handleMatWireSize();
    case kMatTexMap: return handleMatMap(0);
    case kMatReflMap: return handleMatMap(1);
    case kMatBumpMap: return handleMatMap(2);
    case kEditObject: return handleEditObject();
    case kObjTrimesh: return handleObjTrimesh();
    case kVertexList: return handleVertexList();
    case kVertexOptions: return handleVertexOptions();
    case kFaceList: return handleFaceList();
    case kMaterialGroup: return handleMaterialGroup();
    case kMappingCoords: return handleMappingCoords();
    case kLocalAxes: return handleLocalAxes();
    case kLight: return handleLight();
    case kCamera: return handleCamera();
    case kKeyframes: return handleKeyframes();
    case kKeyObject: return handleKeyObject();
    case kKeyCamera: return handleKeyCamera();
    case kKeyCameraTarget: return handleKeyCameraTarget();
    case kKeyLight: return handleKeyLight();
    case kTrackPosition: case kTrackRotation: case kTrackScale:
    case kTrackFov: case kTrackRoll: case kTrackColour:
        return handleTrack(static_cast<uint16_t>(chunkId_));
    default: break;
    }
    if (isEnd(chunkId_)) {
        out_.line(kTrace, prefix_, "An EOF-chunk(0x", Hex{uint32_t(chunkId_)}, ") was encountered - quitting...");
        done_ = true;
    } else if (isRedundant(chunkId_)) {
        out_.line(kTrace, prefix_, "A (0x", Hex{uint32_t(chunkId_)}, ") redundant chunk was encountered - skipping...");
        if (!findChunk(kEditObject)) skip();
    } else {
        out_.line(kTrace, prefix_, "An unknown-chunk(0x", Hex{uint32_t(chunkId_)}, ") was encountered - skipping...");
        skip();
    }
}

void ChunkWalk::chunkLine(const char* head) {
    out_.line(kTrace, prefix_, head, Hex{uint32_t(chunkId_)}, ") chunk was encountered.");
}

void ChunkWalk::nodeLine(const char* head) {
    out_.line(kTrace, prefix_, head, Hex{uint32_t(chunkId_)}, ") was encountered.");
}

void ChunkWalk::finishMesh() { currentMesh_ = currentMesh_->appendNext(); }
void ChunkWalk::finishLight() { currentLight_ = currentLight_->appendNext(); }
void ChunkWalk::finishCamera() { currentCamera_ = currentCamera_->appendNext(); }

// ---- editing section ----

void ChunkWalk::handleMain() {
    mainChunkId_ = chunkId_;
    if (!container_.hasMainChunk()) {
        container_.mainChunkStart_ = int64_t(chunkStart_);
        container_.mainChunkLength_ = int64_t(chunkLength_);
    }
    out_.line(4, prefix_, "Reading ", container_.fileName_, "...");
    out_.line(3, prefix_, "Size: ", container_.fileSize_, " bytes.");
    out_.line(kTrace, prefix_, "Main chunk-id: 0x", Hex{uint32_t(mainChunkId_)});
    // Without an editing section the walk goes on with the main chunk's first child.
    findChunk(kEdit3ds);
}

void ChunkWalk::handleEdit3ds() {
    chunkLine("An EDIT3DS(0x");
    if (!findChunk(kEditMaterial) && !findChunk(kEditObject)) skip();
}

void ChunkWalk::handleEditMaterial() {
    chunkLine("An EDITMATERIAL(0x");
    if (!findChunk(kMatName)) skip();
}

void ChunkWalk::handleMatName() {
    chunkLine("A MATNAME(0x");
    if (!currentMaterial_) {
        container_.materials_ = std::make_unique<InnerMaterial>(container_.log_);
        currentMaterial_ = container_.materials_.get();
    } else {
        currentMaterial_ = currentMaterial_->appendNext();
    }
    std::string_view name = peekString();
    currentMaterial_->name.set(name);
    out_.line(kTrace, prefix_, "Material name: \"", name, "\"");
    skip();
}

// A colour chunk before any material name is read and traced but stored nowhere.
void ChunkWalk::handleMatColour(int which) {
    static constexpr const char* kHeads[] = {"A MATAMBIENT(0x", "A MATDIFFUSE(0x", "A MATSPECULAR(0x"};
    static constexpr const char* kLabels[][3] = {
        {"Ambient red: ", "Ambient green: ", "Ambient blue: "},
        {"Diffuse red: ", "Diffuse green: ", "Diffuse blue: "},
        {"Specular red: ", "Specular green: ", "Specular blue: "},
    };
    chunkLine(kHeads[which]);
    findChunk(kColourBytes);  // the walk reads where this leaves the cursor, found or not
    cursor_ += 6;
    need(3);
    K3DSContainer::Colour colour;
    colour.red = data_[cursor_];
    colour.green = data_[cursor_ + 1];
    colour.blue = data_[cursor_ + 2];
    cursor_ += 3;
    if (currentMaterial_) {
        K3DSContainer::Colour* target[] = {&currentMaterial_->ambient, &currentMaterial_->diffuse,
                                           &currentMaterial_->specular};
        *target[which] = colour;
    }
    out_.line(kTrace, prefix_, kLabels[which][0], Trunc{colour.red});
    out_.line(kTrace, prefix_, kLabels[which][1], Trunc{colour.green});
    out_.line(kTrace, prefix_, kLabels[which][2], Trunc{colour.blue});
    skip();
}

void ChunkWalk::handleMatTransparency() {
    chunkLine("A MATTRANSPARENCY(0x");
    // The integer percentage sub-chunk is 0x0030; the search is for 0x0031, so it usually fails
    // and the value is then read 6 bytes behind the header, which is where 0x0030 keeps it.
    findChunk(kPercentFloat);
    cursor_ += 6;
    float value = peekU16();
    cursor_ += 2;
    if (currentMaterial_) currentMaterial_->transparency = value;
    out_.line(kTrace, prefix_, "Transparency: ", Trunc{value}, "%");
    skip();
}

void ChunkWalk::handleMatWire() {
    chunkLine("A MATWIRE(0x");
    const char* name = nullptr;
    if (currentMaterial_) {
        currentMaterial_->wireframe = 1;
        name = currentMaterial_->getName();
    }
    out_.line(kTrace, prefix_, "Material \"", name, "\" is wireframe.");
    skip();
}

void ChunkWalk::handleMatWireSize() {
    chunkLine("A MATWIRESIZE(0x");
    float value = peekFloat();
    const char* name = nullptr;
    if (currentMaterial_) {
        currentMaterial_->wireSize = value;
        name = currentMaterial_->getName();
    }
    out_.line(kTrace, prefix_, "Material \"", name, "\"'s wire size is: ", Trunc{value});
    skip();
}

void ChunkWalk::handleMatMap(int which) {
    static constexpr const char* kHeads[] = {"A MATTEXMAP(0x", "A MATREFLMAP(0x", "A MATBUMPMAP(0x"};
    static constexpr const char* kLabels[] = {"Texture map: \"", "Reflecion map: \"", "Bump map: \""};
    findChunk(kPercentFloat);
    cursor_ += 6;
    float percent = peekU16();
    cursor_ += 2;
    findChunk(kMatMapFile);
    cursor_ += 6;
    std::string_view file = peekString();
    if (InnerMaterial* m = currentMaterial_) {
        switch (which) {
        case 0:
            m->texturePercent = percent;
            m->textureMap.set(file);
            m->hasTextureMap = 1;
            break;
        case 1:
            m->reflectionPercent = percent;
            m->reflectionMap.set(file);
            m->hasReflectionMap = 1;
            break;
        default:
            m->bumpPercent = percent;
            m->bumpMap.set(file);
            break;
        }
    }
    chunkLine(kHeads[which]);
    out_.line(kTrace, prefix_, kLabels[which], file, "\" at ", Trunc{percent}, "%");
    skip();
}

void ChunkWalk::handleEditObject() {
    chunkLine("An EDITOBJECT(0x");
    objectName_.set(peekString());
    out_.line(kTrace, prefix_, "Object name: ", objectName_.get());
    if (!findChunk(kObjTrimesh) && !findChunk(kLight) && !findChunk(kCamera)) skip();
}

void ChunkWalk::handleObjTrimesh() {
    chunkLine("An OBJTRIMESH(0x");
    currentMesh_->setName(objectName_.get());
    if (!findChunk(kVertexList)) skip();
}

void ChunkWalk::handleVertexList() {
    chunkLine("A TRIVERTEXLIST(0x");
    int32_t n = peekU16();
    cursor_ += 2;
    out_.line(kTrace, prefix_, "Number of vertices: ", n, ".");
    out_.line(kTrace, prefix_, "Reading vertices...");
    InnerMesh& mesh = *currentMesh_;
    mesh.allocVertices(n);
    const bool trace = out_.accepts(kTrace);
    for (int32_t i = 0; i < n; ++i) {
        need(12);
        float x = floatAt(cursor_), y = floatAt(cursor_ + 4), z = floatAt(cursor_ + 8);
        cursor_ += 12;
        mesh.x[i] = x;
        mesh.y[i] = y;
        mesh.z[i] = z;
        if (trace) {
            out_.line(kTrace, prefix_, "\t* Vertex[", i, "] X: ", Trunc{x});
            out_.line(kTrace, prefix_, "\t* Vertex[", i, "] Y: ", Trunc{y});
            out_.line(kTrace, prefix_, "\t* Vertex[", i, "] Z: ", Trunc{z});
            out_.line(kTrace, prefix_);
        }
    }
    out_.line(kTrace, prefix_, "Done reading vertices!");
    // Bounded by this chunk's length but starting behind the vertex data, so the search reaches
    // into the chunks that follow: for a small mesh it can land on the material group directly.
    if (!findChunk(kMaterialGroup)) skip();
}

void ChunkWalk::handleVertexOptions() {
    out_.line(kTrace, prefix_, "A (0x", Hex{uint32_t(chunkId_)},
              ") redundant (TRIVERTEXOPTIONS) chunk was encountered - skipping...");
    skip();
}

void ChunkWalk::handleFaceList() {
    chunkLine("A TRIFACELIST(0x");
    int32_t n = peekU16();
    cursor_ += 2;
    out_.line(kTrace, prefix_, "Number of polys: ", n, ".");
    out_.line(kTrace, prefix_, "Reading polys...");
    InnerMesh& mesh = *currentMesh_;
    mesh.allocPolygons(n);
    const bool trace = out_.accepts(kTrace);
    for (int32_t i = 0; i < n; ++i) {
        need(6);
        const uint8_t* p = data_ + cursor_;
        int32_t a = p[0] | p[1] << 8, b = p[2] | p[3] << 8, c = p[4] | p[5] << 8;
        cursor_ += 8;  // the flag word is not used
        mesh.a[i] = a;
        mesh.b[i] = b;
        mesh.c[i] = c;
        if (trace) {
            out_.line(kTrace, prefix_, "\t* Poly[", i, "] A: ", a);
            out_.line(kTrace, prefix_, "\t* Poly[", i, "] B: ", b);
            out_.line(kTrace, prefix_, "\t* Poly[", i, "] C: ", c);
            out_.line(kTrace, prefix_);
        }
    }
    out_.line(kTrace, prefix_, "Done reading polys!");
    if (!findChunk(kMaterialGroup)) {
        groupIndex_ = 0;
        skip();
        finishMesh();
    }
}

// A mesh gets at most one group: the group always goes to index 0 and finishes the mesh record,
// so a second group chunk fills a new record of its own.
void ChunkWalk::handleMaterialGroup() {
    chunkLine("A MESHMATGROUP(0x");
    InnerMesh& mesh = *currentMesh_;
    std::string_view name = peekString();
    mesh.setMaterialName(std::string(name).c_str(), groupIndex_);
    out_.line(kTrace, prefix_, "Material name: ", mesh.getMaterialName(groupIndex_));
    cursor_ += name.size() + 1;
    int32_t m = peekU16();
    mesh.allocGroup(m, groupIndex_);
    for (int32_t i = 0; i < m; ++i) {
        cursor_ += 2;
        mesh.setGroupPolygon(i, peekU16(), groupIndex_);
    }
    groupIndex_ = 0;
    skip();
    finishMesh();
}

void ChunkWalk::handleMappingCoords() {
    chunkLine("A TRIMAPPINGCOORDS(0x");
    out_.line(kTrace, prefix_, "Reading mapping-coords...");
    InnerMesh& mesh = *currentMesh_;
    mesh.hasMapping = 1;
    const int32_t n = mesh.vertexCount;  // the chunk's own count is not used
    cursor_ += 2;
    const bool trace = out_.accepts(kTrace);
    for (int32_t i = 0; i < n; ++i) {
        need(8);
        float u = floatAt(cursor_), v = floatAt(cursor_ + 4);
        cursor_ += 8;
        mesh.u[i] = u;
        mesh.v[i] = v;
        if (trace) {
            out_.line(kTrace, prefix_, "\t* Vertex[", i, "] U: ", Fixed{u, 6});
            out_.line(kTrace, prefix_, "\t* Vertex[", i, "] V: ", Fixed{v, 6});
        }
    }
    out_.line(kTrace, prefix_, "Done reading map-coords!");
    skip();
}

void ChunkWalk::handleLocalAxes() {
    chunkLine("A TRILOCAL(0x");
    need(48);
    InnerMesh& mesh = *currentMesh_;
    K3DSContainer::Triple* parts[] = {&mesh.xAxis, &mesh.yAxis, &mesh.zAxis, &mesh.position};
    for (int k = 0; k < 4; ++k) {
        parts[k]->x = floatAt(cursor_ + 12 * k);
        parts[k]->y = floatAt(cursor_ + 12 * k + 4);
        parts[k]->z = floatAt(cursor_ + 12 * k + 8);
    }
    out_.line(kTrace, prefix_, "Object position x: ", Trunc{mesh.position.x});
    out_.line(kTrace, prefix_, "Object position y: ", Trunc{mesh.position.y});
    out_.line(kTrace, prefix_, "Object position z: ", Trunc{mesh.position.z});
    skip();
}

void ChunkWalk::handleLight() {
    InnerLight& light = *currentLight_;
    light.setName(objectName_.get());
    chunkLine("A LIGHT(0x");
    need(12);
    light.position = {floatAt(cursor_), floatAt(cursor_ + 4), floatAt(cursor_ + 8)};
    cursor_ += 12;
    // The colour sub-chunk: its identifier is not examined, three floats are taken whatever it is.
    const uint64_t colourStart = cursor_;
    cursor_ += 2;
    uint32_t colourLength = peekU32();
    cursor_ += 4;
    need(12);
    light.colour = {floatAt(cursor_), floatAt(cursor_ + 4), floatAt(cursor_ + 8)};
    cursor_ += 12;
    out_.line(kTrace, prefix_, "Light position x: ", Trunc{light.position.x});
    out_.line(kTrace, prefix_, "Light position y: ", Trunc{light.position.y});
    out_.line(kTrace, prefix_, "Light position z: ", Trunc{light.position.z});
    out_.line(kTrace, prefix_, "Light red: ", Fixed{light.colour.red, 3, true});
    out_.line(kTrace, prefix_, "Light green: ", Fixed{light.colour.green, 3, true});
    out_.line(kTrace, prefix_, "Light blue: ", Fixed{light.colour.blue, 3, true});
    finishLight();
    // Behind the colour, not behind the light: its other sub-chunks come next as ordinary chunks.
    cursor_ = colourStart + colourLength;
}

void ChunkWalk::handleCamera() {
    InnerCamera& camera = *currentCamera_;
    camera.setName(objectName_.get());
    chunkLine("A CAMERA(0x");
    need(12);
    camera.position = {floatAt(cursor_), floatAt(cursor_ + 4), floatAt(cursor_ + 8)};
    cursor_ += 12;
    out_.line(kTrace, prefix_, "Camera position x: ", Trunc{camera.position.x});
    out_.line(kTrace, prefix_, "Camera position y: ", Trunc{camera.position.y});
    out_.line(kTrace, prefix_, "Camera position z: ", Trunc{camera.position.z});
    need(12);
    camera.target = {floatAt(cursor_), floatAt(cursor_ + 4), floatAt(cursor_ + 8)};
    cursor_ += 12;
    out_.line(kTrace, prefix_, "Camera target x: ", Trunc{camera.target.x});
    out_.line(kTrace, prefix_, "Camera target y: ", Trunc{camera.target.y});
    out_.line(kTrace, prefix_, "Camera target z: ", Trunc{camera.target.z});
    need(8);
    camera.bank = floatAt(cursor_);
    camera.lens = floatAt(cursor_ + 4);
    cursor_ += 8;
    finishCamera();
    skip();
}

// ---- keyframer section ----

void ChunkWalk::handleKeyframes() {
    nodeLine("A KEYFRAMES chunk(0x");
    int32_t start = static_cast<int32_t>(peekU32());
    cursor_ += 4;
    int32_t end = static_cast<int32_t>(peekU32());
    cursor_ += 4;
    container_.startFrame_ = start;
    container_.endFrame_ = end;
    out_.line(kTrace, prefix_, "Start frame: ", start);
    out_.line(kTrace, prefix_, "End frame: ", end);
    if (!findChunk(kKeyObject)) skip();
}

void ChunkWalk::handleKeyObject() {
    keyMesh_ = bindNext(container_.meshes_.get(), lastKeyMesh_);
    keyNodeKind_ = kKeyObject;
    findChunk(kNodeHeader);
    nodeLine("A KEYOBJ chunk(0x");
    cursor_ += 6;
    objectName_.set(peekString());
    out_.line(kTrace, prefix_, "Name of object: ", objectName_.get(), " (treated as: \"",
              keyMesh_ ? keyMesh_->getName() : nullptr, "\").");
    if (!findChunk(kTrackPosition) && !findChunk(kTrackRotation)) skip();
}

// A camera node applies to the camera that the latest target node chose; before any target node,
// to the first camera (if the file has one).
void ChunkWalk::handleKeyCamera() {
    if (!lastKeyCamera_) {
        InnerCamera* first = container_.cameras_.get();
        keyCamera_ = first->next ? first : nullptr;
    }
    keyNodeKind_ = kKeyCamera;
    nodeLine("A KEYCAMERA chunk(0x");
    findChunk(kNodeHeader);
    cursor_ += 6;
    objectName_.set(peekString());
    out_.line(kTrace, prefix_, "Name of camera: ", objectName_.get(), " (treated as: \"",
              keyCamera_ ? keyCamera_->getName() : nullptr, "\").");
    if (!findChunk(kTrackPosition)) skip();
}

void ChunkWalk::handleKeyCameraTarget() {
    keyCamera_ = bindNext(container_.cameras_.get(), lastKeyCamera_);
    nodeLine("An KEYCAMERATARGET chunk(0x");
    keyNodeKind_ = kKeyCameraTarget;
    if (!findChunk(kTrackPosition)) skip();
}

void ChunkWalk::handleKeyLight() {
    keyLight_ = bindNext(container_.lights_.get(), lastKeyLight_);
    keyNodeKind_ = kKeyLight;
    nodeLine("A KEYLIGHT chunk(0x");
    findChunk(kNodeHeader);
    cursor_ += 6;
    objectName_.set(peekString());
    if (keyLight_) keyLight_->setName(objectName_.get());
    out_.line(kTrace, prefix_, "Name of light: ", objectName_.get(), " (treated as: \"",
              keyLight_ ? keyLight_->getName() : nullptr, "\").");
    if (!findChunk(kTrackPosition)) skip();
}

void ChunkWalk::readKeyHead(K3DSContainer::TrackKey& key) {
    key.frame = peekU16();
    cursor_ += 4;
    const uint16_t flags = peekU16();
    cursor_ += 2;
    float* spline[] = {&key.tension, &key.continuity, &key.bias, &key.easeTo, &key.easeFrom};
    for (int bit = 0; bit < 5; ++bit) {
        *spline[bit] = 0;
        if (flags & (1u << bit)) {
            *spline[bit] = peekFloat();
            cursor_ += 4;
        }
    }
    cursor_ += 4 * std::popcount(static_cast<uint16_t>(flags & 0xFFE0u));
}

void ChunkWalk::traceKeyHead(int32_t i, const K3DSContainer::TrackKey& key) {
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " frame number: ", key.frame);
}

void ChunkWalk::traceSpline(int32_t i, const K3DSContainer::TrackKey& key) {
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Tension: ", Fixed{key.tension, 3});
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Continuity: ", Fixed{key.continuity, 3});
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Bias: ", Fixed{key.bias, 3});
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Ease to: ", Fixed{key.easeTo, 3});
    out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Ease from: ", Fixed{key.easeFrom, 3});
}

namespace {

// Fills a track's keys: into the bound record's array, or into a scratch array when no record is
// bound, so that the cursor moves the same either way.
template <class Key>
std::vector<Key>& trackArray(std::vector<Key>* bound, std::vector<Key>& scratch, int32_t n,
                             int32_t* count) {
    std::vector<Key>& keys = bound ? *bound : scratch;
    keys.assign(static_cast<size_t>(n), Key{});
    if (count) *count = n;
    return keys;
}

}  // namespace

void ChunkWalk::handleTrack(uint16_t id) {
    using PositionKey = K3DSContainer::PositionKey;
    using RotationKey = K3DSContainer::RotationKey;
    using ScaleKey = K3DSContainer::ScaleKey;
    using ValueKey = K3DSContainer::ValueKey;
    using ColourKey = K3DSContainer::ColourKey;

    switch (id) {
    case kTrackPosition: {
        const char* head = nullptr;
        std::vector<PositionKey>* bound = nullptr;
        int32_t* count = nullptr;
        switch (keyNodeKind_) {
        case kKeyObject:
            head = "A KEYOBJPOS chunk(0x";
            if (keyMesh_) bound = &keyMesh_->positionKeys, count = &keyMesh_->positionKeyCount;
            break;
        case kKeyCamera:
            head = "A KEYCAMPOS chunk(0x";
            if (keyCamera_) bound = &keyCamera_->positionKeys, count = &keyCamera_->positionKeyCount;
            break;
        case kKeyCameraTarget:
            head = "A KEYCAMTARGETPOS chunk(0x";
            if (keyCamera_) bound = &keyCamera_->targetKeys, count = &keyCamera_->targetKeyCount;
            break;
        case kKeyLight:
            head = "A KEYLIGHTPOS chunk(0x";
            if (keyLight_) bound = &keyLight_->positionKeys, count = &keyLight_->positionKeyCount;
            break;
        default:
            // No node chunk yet: the track is traced and skipped, nothing is read or kept.
            nodeLine("A KEYPOS chunk(0x");
            cursor_ += 10;
            {
                int32_t n = peekU16();
                cursor_ += 4;
                out_.line(kTrace, prefix_, "Number of keys: ", n);
            }
            out_.line(kTrace, prefix_, "Reading position-keys... ");
            out_.line(kTrace, prefix_, "Done Reading position-keys!");
            return skip();
        }
        nodeLine(head);
        cursor_ += 10;
        int32_t n = peekU16();
        std::vector<PositionKey> scratch;
        std::vector<PositionKey>& keys = trackArray(bound, scratch, n, count);
        cursor_ += 4;
        out_.line(kTrace, prefix_, "Number of keys: ", n);
        out_.line(kTrace, prefix_, "Reading position-keys... ");
        for (int32_t i = 0; i < n; ++i) {
            PositionKey& key = keys[i];
            readKeyHead(key);
            need(12);
            key.x = floatAt(cursor_), key.y = floatAt(cursor_ + 4), key.z = floatAt(cursor_ + 8);
            cursor_ += 12;
            traceKeyHead(i, key);
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " X-position: ", Trunc{key.x});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Y-position: ", Trunc{key.y});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Z-position: ", Trunc{key.z});
            traceSpline(i, key);
        }
        out_.line(kTrace, prefix_, "Done Reading position-keys!");
        return skip();
    }
    case kTrackRotation: {
        nodeLine("A KEYOBJROT chunk(0x");
        cursor_ += 10;
        int32_t n = peekU16();
        std::vector<RotationKey> scratch;
        std::vector<RotationKey>& keys = trackArray(keyMesh_ ? &keyMesh_->rotationKeys : nullptr, scratch,
                                                    n, keyMesh_ ? &keyMesh_->rotationKeyCount : nullptr);
        cursor_ += 4;
        out_.line(kTrace, prefix_, "Number of keys: ", n);
        out_.line(kTrace, prefix_, "Reading rotation-keys... ");
        for (int32_t i = 0; i < n; ++i) {
            RotationKey& key = keys[i];
            readKeyHead(key);
            need(16);
            // The file holds the angle first; the record keeps it behind the axis.
            key.angle = floatAt(cursor_);
            key.x = floatAt(cursor_ + 4), key.y = floatAt(cursor_ + 8), key.z = floatAt(cursor_ + 12);
            cursor_ += 16;
            traceKeyHead(i, key);
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " X-rotation: ", Trunc{key.x});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Y-rotation: ", Trunc{key.y});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Z-rotation: ", Trunc{key.z});
            traceSpline(i, key);
        }
        out_.line(kTrace, prefix_, "Done Reading rotation-keys!");
        if (!findChunk(kTrackScale)) skip();
        return;
    }
    case kTrackScale: {
        nodeLine("A KEYOBJSCALE chunk(0x");
        cursor_ += 10;
        int32_t n = peekU16();
        std::vector<ScaleKey> scratch;
        std::vector<ScaleKey>& keys = trackArray(keyMesh_ ? &keyMesh_->scaleKeys : nullptr, scratch, n,
                                                 keyMesh_ ? &keyMesh_->scaleKeyCount : nullptr);
        cursor_ += 4;
        out_.line(kTrace, prefix_, "Number of keys: ", n);
        for (int32_t i = 0; i < n; ++i) {
            ScaleKey& key = keys[i];
            readKeyHead(key);
            need(12);
            key.x = floatAt(cursor_), key.y = floatAt(cursor_ + 4), key.z = floatAt(cursor_ + 8);
            cursor_ += 12;
            traceKeyHead(i, key);
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " X-scale: ", Trunc{key.x});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Y-scale: ", Trunc{key.y});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Z-scale: ", Trunc{key.z});
        }
        if (!findChunk(kKeyObject)) skip();
        return;
    }
    case kTrackFov:
    case kTrackRoll: {
        const bool fov = id == kTrackFov;
        nodeLine(fov ? "A KEYCAMERAFOV chunk(0x" : "A KEYCAMERAROLL chunk(0x");
        cursor_ += 10;
        int32_t n = peekU16();
        std::vector<ValueKey> scratch;
        std::vector<ValueKey>* bound = nullptr;
        int32_t* count = nullptr;
        if (keyCamera_) {
            bound = fov ? &keyCamera_->fovKeys : &keyCamera_->rollKeys;
            count = fov ? &keyCamera_->fovKeyCount : &keyCamera_->rollKeyCount;
        }
        std::vector<ValueKey>& keys = trackArray(bound, scratch, n, count);
        cursor_ += 4;
        out_.line(kTrace, prefix_, "Number of keys: ", n);
        for (int32_t i = 0; i < n; ++i) {
            ValueKey& key = keys[i];
            readKeyHead(key);
            key.value = peekFloat();
            cursor_ += 4;
            traceKeyHead(i, key);
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", fov ? " FOV: " : " Roll: ", Trunc{key.value});
        }
        if (fov || !findChunk(kKeyCameraTarget)) skip();
        return;
    }
    default: {  // colour
        nodeLine("A KEYOBJCOL chunk(0x");
        cursor_ += 10;
        int32_t n = peekU16();
        std::vector<ColourKey> scratch;
        std::vector<ColourKey>& keys = trackArray(keyLight_ ? &keyLight_->colourKeys : nullptr, scratch, n,
                                                  keyLight_ ? &keyLight_->colourKeyCount : nullptr);
        cursor_ += 4;
        out_.line(kTrace, prefix_, "Number of keys: ", n);
        for (int32_t i = 0; i < n; ++i) {
            ColourKey& key = keys[i];
            readKeyHead(key);
            need(12);
            key.red = floatAt(cursor_), key.green = floatAt(cursor_ + 4), key.blue = floatAt(cursor_ + 8);
            cursor_ += 12;
            traceKeyHead(i, key);
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Red: ", Fixed{key.red, 4, true});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Green: ", Fixed{key.green, 4, true});
            out_.line(kTrace, prefix_, "\t *Key[", i, "]:", " Blue: ", Fixed{key.blue, 4, true});
        }
        return skip();
    }
    }
}
