#pragma once
// The chunk walk of a K3DSContainer: one flat pass over the file image with a single cursor.
// Internal to the loader; the container runs it once from its constructor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "loader3ds/k3ds_container.h"
#include "loader3ds/occurrence_index.h"
#include "loader3ds/trace_text.h"

class ChunkWalk {
public:
    ChunkWalk(K3DSContainer& container, const uint8_t* data, size_t size);

    // Reads one chunk header after another until an end chunk, or until the image ends (which
    // counts as an end chunk).
    void readChunks();

private:
    using InnerMesh = K3DSContainer::InnerMesh;
    using InnerLight = K3DSContainer::InnerLight;
    using InnerCamera = K3DSContainer::InnerCamera;
    using InnerMaterial = K3DSContainer::InnerMaterial;

    // Thrown by a read that would leave the image; readChunks ends the walk there.
    struct EndOfImage {};

    // Bounded reads. readId moves the cursor; the peeks do not.
    uint16_t readId();
    uint8_t peekU8() const;
    uint16_t peekU16() const;
    uint32_t peekU32() const;
    float peekFloat() const;
    std::string_view peekString() const;
    void need(size_t bytes) const;
    float floatAt(uint64_t at) const;  // unchecked: the caller has called need()

    uint16_t findChunk(uint16_t id);
    void skip();

    void dispatch();

    // Editing section.
    void handleMain();
    void handleEdit3ds();
    void handleEditMaterial();
    void handleMatName();
    void handleMatColour(int which);
    void handleMatTransparency();
    void handleMatWire();
    void handleMatWireSize();
    void handleMatMap(int which);
    void handleEditObject();
    void handleObjTrimesh();
    void handleVertexList();
    void handleVertexOptions();
    void handleFaceList();
    void handleMaterialGroup();
    void handleMappingCoords();
    void handleLocalAxes();
    void handleLight();
    void handleCamera();

    // Keyframer section.
    void handleKeyframes();
    void handleKeyObject();
    void handleKeyCamera();
    void handleKeyCameraTarget();
    void handleKeyLight();
    void handleTrack(uint16_t id);

    void chunkLine(const char* head);
    void nodeLine(const char* head);
    void finishMesh();
    void finishLight();
    void finishCamera();

    // Reads frame, flags and the flagged spline values of one key, skipping unknown values.
    void readKeyHead(K3DSContainer::TrackKey& key);
    void traceKeyHead(int32_t i, const K3DSContainer::TrackKey& key);
    void traceSpline(int32_t i, const K3DSContainer::TrackKey& key);

    K3DSContainer& container_;
    trace_text::LineWriter out_;
    const std::string& prefix_;
    const uint8_t* data_;
    size_t size_;
    OccurrenceIndex index_;  // answers findChunk

    uint64_t cursor_ = 0;
    uint64_t chunkStart_ = 0;
    uint32_t chunkLength_ = 0;
    int32_t chunkId_ = 0;
    int32_t searchBound_ = 0;
    int32_t mainChunkId_ = 0;
    K3DSContainer::Text objectName_;
    int32_t keyNodeKind_ = 0;
    int32_t groupIndex_ = 0;
    InnerMesh* currentMesh_;
    InnerLight* currentLight_;
    InnerCamera* currentCamera_;
    InnerMaterial* currentMaterial_ = nullptr;
    bool done_ = false;

    // Keyframe binding: the record the current node's tracks fill (null: none left), and the
    // record bound last, from which the next node moves on.
    InnerMesh* keyMesh_ = nullptr;
    InnerMesh* lastKeyMesh_ = nullptr;
    InnerLight* keyLight_ = nullptr;
    InnerLight* lastKeyLight_ = nullptr;
    InnerCamera* keyCamera_ = nullptr;
    InnerCamera* lastKeyCamera_ = nullptr;
};
