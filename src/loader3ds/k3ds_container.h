#pragma once
// K3DSContainer: the contents of one 3D Studio (.3ds) file in plain record chains. A scene creates
// one from a file name, copies meshes and lights out of it and destroys it again.
//
// The constructor does everything: it takes the file image, walks its chunks once (a flat scan with
// byte-wise searches, see chunk_walk.cpp), fills the records and checks them. Afterwards the
// records are only read.
//
// Refusal: when the FileServer has no such file (size -1 or no data), the container is still built
// with its empty chains, logs "{K3DSContainer::K3DSContainer()}: Failed!" at level 10 and reports
// ok() == false; the caller then raises "Error - couldn't read file %s! Aborting...".
//
// Record chains: each record owns the one behind it (`next`) and points back (`previous`). The mesh,
// light and camera chains always end in one empty record that is never counted; the material chain
// has no such record and is empty (first material null) in a file without materials. Walk a chain
// with `for (auto* m = c.getFirstMesh(); m->next; m = m->next.get())` to visit the filled records.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/debug_server.h"
#include "archive/file_server.h"

class ChunkWalk;

class K3DSContainer {
public:
    // A text field that may be absent (null), as names and map names are until a chunk sets them.
    class Text {
    public:
        const char* get() const { return present_ ? text_.c_str() : nullptr; }
        void set(const char* text);  // null makes the text absent
        void set(std::string_view text);
        explicit operator bool() const { return present_; }

    private:
        std::string text_;
        bool present_ = false;
    };

    struct Triple {
        float x = 0, y = 0, z = 0;
    };
    struct Colour {
        float red = 0, green = 0, blue = 0;
    };

    // Keyframe keys: frame and spline values, then the key's own values.
    struct TrackKey {
        int32_t frame = 0;
        float tension = 0, continuity = 0, bias = 0, easeFrom = 0, easeTo = 0;
    };
    struct PositionKey : TrackKey {
        float x = 0, y = 0, z = 0;
    };
    struct RotationKey : TrackKey {
        float x = 0, y = 0, z = 0;  // rotation axis
        float angle = 0;
    };
    struct ScaleKey : TrackKey {
        float x = 0, y = 0, z = 0;
    };
    struct ColourKey : TrackKey {
        float red = 0, green = 0, blue = 0;
    };
    struct ValueKey : TrackKey {  // field of view (degrees) or roll (angle)
        float value = 0;
    };

    // One entry of a mesh's material-group table.
    struct MaterialGroup {
        std::string name;               // at most kMaterialNameMax characters
        std::vector<int32_t> polygons;  // polygon indices drawn with this material
        int32_t count = 0;              // length of polygons
    };
    static constexpr int kGroupTableSize = 1024;
    static constexpr size_t kMaterialNameMax = 1023;

    class InnerMesh {
    public:
        explicit InnerMesh(DebugServer& log);
        ~InnerMesh();
        InnerMesh(const InnerMesh&) = delete;
        InnerMesh& operator=(const InnerMesh&) = delete;

        void setName(const char* text) { name.set(text); }
        const char* getName() const { return name.get(); }
        InnerMesh* appendNext();
        void allocVertices(int32_t n);
        void allocPolygons(int32_t n);

        // Group table: created (kGroupTableSize entries) by the first setMaterialName. Indices
        // outside the table are ignored by the setters and read as null / 0.
        void setMaterialName(const char* text, int index);
        const char* getMaterialName(int index) const;  // logs the request
        void allocGroup(int32_t count, int index);
        void setGroupPolygon(int32_t i, int32_t polygon, int index);
        int32_t getGroupSize(int index) const;
        int32_t getGroupPolygon(int32_t i, int index) const;
        bool hasGroupTable() const { return !groups.empty(); }

        Text name;
        int32_t vertexCount = 0;
        int32_t polygonCount = 0;
        std::vector<float> x, y, z;      // [vertexCount]
        std::vector<int32_t> a, b, c;    // [polygonCount], corners in file order
        std::vector<float> u, v;         // [vertexCount]
        Triple xAxis, yAxis, zAxis;
        Triple position;
        int32_t positionKeyCount = 0, rotationKeyCount = 0, scaleKeyCount = 0;
        int32_t groupCount = 0;
        uint8_t hasMapping = 0;
        std::vector<MaterialGroup> groups;  // empty: no group table
        std::vector<PositionKey> positionKeys;
        std::vector<RotationKey> rotationKeys;
        std::vector<ScaleKey> scaleKeys;
        std::unique_ptr<InnerMesh> next;
        InnerMesh* previous = nullptr;

    private:
        friend class K3DSContainer;
        DebugServer& log_;
        bool releasing_ = false;
    };

    class InnerLight {
    public:
        explicit InnerLight(DebugServer& log);
        ~InnerLight();
        InnerLight(const InnerLight&) = delete;
        InnerLight& operator=(const InnerLight&) = delete;

        void setName(const char* text) { name.set(text); }
        const char* getName() const { return name.get(); }
        InnerLight* appendNext();

        int32_t positionKeyCount = 0, colourKeyCount = 0;
        Text name;
        Colour colour;  // 0 to 1, as stored in the file
        Triple position;
        std::vector<PositionKey> positionKeys;
        std::vector<ColourKey> colourKeys;
        std::unique_ptr<InnerLight> next;
        InnerLight* previous = nullptr;

    private:
        friend class K3DSContainer;
        DebugServer& log_;
        bool releasing_ = false;
    };

    class InnerCamera {
    public:
        explicit InnerCamera(DebugServer& log);
        ~InnerCamera();
        InnerCamera(const InnerCamera&) = delete;
        InnerCamera& operator=(const InnerCamera&) = delete;

        void setName(const char* text) { name.set(text); }
        const char* getName() const { return name.get(); }
        InnerCamera* appendNext();

        Text name;
        Triple position;
        Triple target;
        float bank = 0;
        float lens = 0;
        std::vector<PositionKey> positionKeys, targetKeys;
        std::vector<ValueKey> rollKeys, fovKeys;
        int32_t positionKeyCount = 0, targetKeyCount = 0, rollKeyCount = 0, fovKeyCount = 0;
        std::unique_ptr<InnerCamera> next;
        InnerCamera* previous = nullptr;

    private:
        friend class K3DSContainer;
        DebugServer& log_;
        bool releasing_ = false;
    };

    class InnerMaterial {
    public:
        explicit InnerMaterial(DebugServer& log);
        ~InnerMaterial();
        InnerMaterial(const InnerMaterial&) = delete;
        InnerMaterial& operator=(const InnerMaterial&) = delete;

        void setName(const char* text) { name.set(text); }
        const char* getName() const { return name.get(); }
        InnerMaterial* appendNext();

        Text name;
        Text textureMap;
        Text bumpMap;
        Text reflectionMap;
        uint8_t wireframe = 0;
        uint8_t hasTextureMap = 0;
        uint8_t hasReflectionMap = 0;
        float wireSize = 0;
        Colour diffuse;   // 0 to 255
        Colour ambient;   // 0 to 255
        Colour specular;  // 0 to 255
        float transparency = 0;  // percent
        float texturePercent = 0;
        float bumpPercent = 0;
        float reflectionPercent = 0;
        std::unique_ptr<InnerMaterial> next;
        InnerMaterial* previous = nullptr;

    private:
        friend class K3DSContainer;
        DebugServer& log_;
        bool releasing_ = false;
    };

    // Loads fileName through the FileServer (see "Refusal" above).
    explicit K3DSContainer(const char* fileName, FileServer& files = fileServer(),
                           DebugServer& log = debugServer());
    // Walks a file image that the caller already holds (tools, tests, fuzzing); the bytes are only
    // read during construction.
    K3DSContainer(const char* fileName, const uint8_t* data, size_t size,
                  DebugServer& log = debugServer());
    ~K3DSContainer();
    K3DSContainer(const K3DSContainer&) = delete;
    K3DSContainer& operator=(const K3DSContainer&) = delete;

    bool ok() const { return ok_; }
    // Whether the walk met a main chunk (0x4D4D) at all: a file without one is no 3D Studio file,
    // though its records come out empty as those of a scene that holds nothing.
    bool hasMainChunk() const { return mainChunkLength_ >= 0; }
    // Whether that main chunk claims more bytes than the file holds after its start: a file cut short.
    bool mainChunkCut() const { return hasMainChunk() && mainChunkStart_ + mainChunkLength_ > fileSize_; }
    const char* getFileName() const { return fileName_.c_str(); }
    int32_t getFileSize() const { return fileSize_; }
    int32_t getMeshCount() const { return meshCount_; }
    int32_t getLightCount() const { return lightCount_; }
    // Name of mesh number index, or null when the walk along `next` reaches the empty last record.
    const char* getMeshName(int index) const;
    int32_t getStartFrame() const { return startFrame_; }
    int32_t getEndFrame() const { return endFrame_; }

    InnerMesh* getFirstMesh() const { return meshes_.get(); }
    InnerLight* getFirstLight() const { return lights_.get(); }
    InnerCamera* getFirstCamera() const { return cameras_.get(); }
    InnerMaterial* getFirstMaterial() const { return materials_.get(); }  // null without materials

private:
    friend class ChunkWalk;

    // Releases the records behind `record` iteratively, logging as a recursive release would.
    template <class Record>
    static void releaseTail(Record& record, const char* freeingLine);

    void createRecords();
    void parse(const uint8_t* data, size_t size);
    void checkIntegrity();

    std::unique_ptr<InnerMesh> meshes_;
    std::unique_ptr<InnerLight> lights_;
    std::unique_ptr<InnerCamera> cameras_;
    std::unique_ptr<InnerMaterial> materials_;
    int32_t startFrame_ = 0, endFrame_ = 0;
    DebugServer& log_;
    std::string prefix_;  // "{K3DSContainer[" + file name + "]}: ", begins every walk line
    int32_t meshCount_ = 0, lightCount_ = 0;
    std::string fileName_;
    int32_t fileSize_ = 0;
    int64_t mainChunkStart_ = 0, mainChunkLength_ = -1;  // the first main chunk; length -1: none
    bool ok_ = false;
};
