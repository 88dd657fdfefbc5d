#pragma once
// KMesh: one triangle mesh of a scene, built once from a 3DS container's mesh record and then drawn
// every frame by the renderer, which owns the per-frame steps and works on the arrays below.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "loader3ds/k3ds_container.h"
#include "math/vector.h"
#include "scene/colour.h"
#include "scene/frame.h"
#include "scene/kimage.h"

class KLight;
class View;

// surfaceMode bits.
enum SurfaceBits : int32_t {
    kSurfaceLit = 1,
    kSurfaceFlat = 2,
    kSurfaceGouraud = 4,
    kSurfaceEnvironment = 8,
    kSurfaceTexture = 16,
};

// One triangle: corner indices and references into its mesh's arrays.
struct KMeshPolygon {
    int32_t surfaceMode = 3;
    int32_t renderMode = 1;
    int32_t a = -1, b = -1, c = -1;
    uint8_t* outcodes = nullptr;
    float* colourCopy = nullptr;  // the three stored floats of the polygon colour
    Colour* colour = nullptr;     // null until a material colour is assigned
    Colour *litColourA = nullptr, *litColourB = nullptr, *litColourC = nullptr;
    Colour *baseColourA = nullptr, *baseColourB = nullptr, *baseColourC = nullptr;
    Point* vertices = nullptr;
    Point* transformed = nullptr;
    Direction* faceNormal = nullptr;
    Direction *normalA = nullptr, *normalB = nullptr, *normalC = nullptr;
    Direction *mappingNormalA = nullptr, *mappingNormalB = nullptr, *mappingNormalC = nullptr;
    Direction *texCoordA = nullptr, *texCoordB = nullptr, *texCoordC = nullptr;
    unsigned* environmentTexture = nullptr;
    unsigned* texture = nullptr;
};

class KMesh {
public:
    static constexpr int kLightRoom = 32;

    KMesh() = default;
    ~KMesh();
    KMesh(const KMesh&) = delete;
    KMesh& operator=(const KMesh&) = delete;

    // Builds the mesh from the container's mesh record number meshIndex. Raises
    // errors::invalidData for a mesh whose arrays and indices do not fit together or that has a
    // texture without texture coordinates, errors::couldntReadFile for a group naming a missing
    // material or a texture image that is unreadable or of a size no texture can take.
    void set(const K3DSContainer& container, int meshIndex);
    // Gives polygon p the material's diffuse colour (the group index is not used).
    void setMaterial(int group, int polygon, const K3DSContainer::InnerMaterial& material);

    void setRenderMode(int mode);
    void setSurfaceMode(int mode);
    void setTwoSided(bool flag) { twoSided_ = flag ? 1 : 0; }
    bool isTwoSided() const { return twoSided_ != 0; }
    void forceClipping() { forceClip_ = 1; }
    bool lightingRequested() const { return (surfaceMode_ & kSurfaceLit) != 0; }
    Frame& getFrame() { return *frame_; }
    Frame* getCamera() const { return camera_; }

    // Read access for tests, tools and the renderer.
    const char* getName() const { return name_.c_str(); }
    int getRenderMode() const { return renderMode_; }
    int getSurfaceMode() const { return surfaceMode_; }
    int getVisibility() const { return visibility_; }
    int getPolygonCount() const { return polygonCount_; }
    int getVertexCount() const { return vertexCount_; }
    int getTextureCount() const { return textureCount_; }
    bool hasTextureMap() const { return hasTextureMap_ != 0; }
    bool hasEnvironmentMap() const { return hasEnvironmentMap_ != 0; }
    float getRadius() const { return radius_; }
    float getRadiusSquared() const { return radiusSquared_; }
    const KMeshPolygon& polygon(int i) const { return polygons_[i]; }
    const Point& vertex(int i) const { return vertices_[i]; }
    const Point& transformedVertex(int i) const { return transformed_[i]; }
    uint8_t outcode(int i) const { return outcodes_[i]; }
    const Direction& faceNormal(int i) const { return faceNormals_[i]; }
    const Direction& vertexNormal(int i) const { return vertexNormals_[i]; }
    const Direction& mappingNormal(int i) const { return mappingNormals_[i]; }
    const Direction& texCoord(int i) const { return texCoords_[i]; }
    const Colour& polygonColour(int i) const { return polygonColours_[i]; }
    const Colour& vertexColour(int i) const { return vertexColours_[i]; }
    const Colour& vertexBaseColour(int i) const { return vertexBaseColours_[i]; }
    const KImage& image(int slot) const { return images_[slot]; }
    unsigned textureId(int slot) const { return textureIds_[slot]; }
    // The draw list of the last frame: visible(0 .. frontCount-1) front-facing, then back-facing.
    const KMeshPolygon* visible(int i) const { return visibleList_[i]; }

private:
    friend class MeshRenderer;

    using Record = K3DSContainer::InnerMesh;
    void validate(const K3DSContainer& container, const Record& record) const;
    void readVertices(const Record& record);
    void readPolygons(const Record& record);
    void discoverTextures(const K3DSContainer& container, const Record& record);
    void loadTextures();
    void uploadTextures();
    void assignMaterials(const K3DSContainer& container, const Record& record);
    void assignDefaultColours();
    void linkColours(int p);
    void computeNormals();
    void computeRadius();

    uint8_t forceClip_ = 0;
    uint8_t hasEnvironmentMap_ = 0;
    uint8_t hasTextureMap_ = 0;
    uint8_t twoSided_ = 0;
    int32_t visibility_ = -1;
    int32_t renderMode_ = 1;
    int32_t surfaceMode_ = 3;
    int32_t polygonCount_ = -1;
    int32_t vertexCount_ = -1;
    int32_t textureCount_ = 0;
    float radiusSquared_ = 0.0f;
    float radius_ = 0.0f;
    std::string name_;
    std::vector<uint8_t> outcodes_;
    std::vector<KLight*> lightList_;
    std::vector<Point> lightPositions_;
    std::vector<Point> vertices_;
    std::vector<Point> transformed_;
    std::vector<Direction> faceNormals_;
    std::vector<Direction> vertexNormals_;
    std::vector<Direction> mappingNormals_;
    std::vector<Direction> texCoords_;
    std::vector<KMeshPolygon> polygons_;
    std::vector<KMeshPolygon*> visibleList_;
    // The renderer's outline batch: pre-pass and outline, six vertices (x, y, z, r, g, b, a) per polygon.
    std::vector<float> submitVertices_;
    std::vector<Colour> polygonColours_;
    std::vector<float> polygonColourCopies_;  // three per polygon
    std::vector<Colour> vertexColours_;
    std::vector<Colour> vertexBaseColours_;
    std::unique_ptr<Frame> frame_;
    Frame* camera_ = nullptr;
    View* view_ = nullptr;
    Matrix scratch_[3] = {};
    std::unique_ptr<KImage[]> images_;
    std::vector<unsigned> textureIds_;
    // File names of the texture slots, for loading and for error messages.
    std::string textureNames_[2];
    int environmentSlot_ = -1;
};
