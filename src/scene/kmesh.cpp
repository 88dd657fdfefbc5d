#include "scene/kmesh.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "base/debug_server.h"
#include "base/exception.h"
#include "math/random.h"

namespace {

using Record = K3DSContainer::InnerMesh;
using Material = K3DSContainer::InnerMaterial;

const Record& selectRecord(const K3DSContainer& container, int index) {
    const Record* record = container.getFirstMesh();
    for (int i = 0; i < index && record->next; ++i) record = record->next.get();
    return *record;
}

bool sameName(const char* a, const char* b) { return a && b && std::strncmp(a, b, 1024) == 0; }

[[noreturn]] void invalid(const K3DSContainer& container) { raise(errors::invalidData, container.getFileName()); }

}  // namespace

KMesh::~KMesh() {
    // The GL texture names stay with the context, which outlives every scene.
    debugServer().write("{KMesh::~KMesh()}: Freeing resources...", 10);
    debugServer().write("{KMesh::~KMesh()}: Done.", 10);
}

void KMesh::set(const K3DSContainer& container, int meshIndex) {
    DebugServer& log = debugServer();
    log.write("{KMesh::set()}: Allocating resources...", 10);
    name_ = container.getMeshName(meshIndex) ? container.getMeshName(meshIndex) : "";
    log.printf(5, "{KMesh}: Name of mesh: \"%s\"", name_.c_str());

    const Record& record = selectRecord(container, meshIndex);
    validate(container, record);
    readVertices(record);
    log.printf(0, "{KMesh}: X-position = %f", double(record.position.x));
    log.printf(0, "{KMesh}: Y-position = %f", double(record.position.y));
    log.printf(0, "{KMesh}: Z-position = %f", double(record.position.z));
    readPolygons(record);

    log.write("{KMesh}: Reading materials...", 5);
    polygonColours_.assign(size_t(polygonCount_), Colour());
    polygonColourCopies_.assign(size_t(polygonCount_) * 3, 0.0f);
    vertexColours_.assign(size_t(vertexCount_), Colour());
    vertexBaseColours_.assign(size_t(vertexCount_), Colour());

    discoverTextures(container, record);
    if (textureCount_ > 0) {
        loadTextures();
    } else {
        log.write("No memory is allocated for texures.", 5);
        log.write("No textures was read.", 5);
    }
    assignMaterials(container, record);
    assignDefaultColours();

    frame_ = std::make_unique<Frame>(Point(record.position.x, record.position.y, record.position.z),
                                     Point(0.0f, 0.0f, 1.0f));

    log.write("{KMesh}: Calculating normals...", 5);
    computeNormals();
    log.write("{KMesh}: Calculating mesh-radii...", 5);
    computeRadius();

    log.write("{KMesh}: Allocating light-list...", 5);
    lightList_.assign(kLightRoom, nullptr);
    lightPositions_.assign(kLightRoom, Point());

    log.write("{KMesh}: Setting default renderMode (dots)...", 5);
    setRenderMode(1);
    setSurfaceMode(3);
    log.write("{KMesh::set()}: Done.", 10);
}

// The loader hands the record over as the file described it; refuse anything that would make the
// mesh read outside its own arrays.
void KMesh::validate(const K3DSContainer& container, const Record& record) const {
    const auto vertices = size_t(record.vertexCount), polygons = size_t(record.polygonCount);
    if (record.vertexCount < 0 || record.polygonCount < 0) invalid(container);
    if (record.x.size() != vertices || record.y.size() != vertices || record.z.size() != vertices) invalid(container);
    if (record.a.size() != polygons || record.b.size() != polygons || record.c.size() != polygons) invalid(container);
    if (record.hasMapping && (record.u.size() != vertices || record.v.size() != vertices)) invalid(container);
    for (size_t i = 0; i < polygons; ++i) {
        for (int32_t corner : {record.a[i], record.b[i], record.c[i]}) {
            if (corner < 0 || corner >= record.vertexCount) invalid(container);
        }
    }
    if (record.groupCount < 0) invalid(container);
    for (const K3DSContainer::MaterialGroup& group : record.groups) {
        if (group.count < 0 || size_t(group.count) > group.polygons.size()) invalid(container);
        for (int32_t i = 0; i < group.count; ++i) {
            if (group.polygons[size_t(i)] < 0 || group.polygons[size_t(i)] >= record.polygonCount) invalid(container);
        }
    }
}

void KMesh::readVertices(const Record& record) {
    DebugServer& log = debugServer();
    vertexCount_ = record.vertexCount;
    vertices_.assign(size_t(vertexCount_), Point());
    transformed_.assign(size_t(vertexCount_), Point());
    outcodes_.assign(size_t(vertexCount_), 0);
    log.write("{KMesh}: Reading vertices...", 5);
    for (int i = 0; i < vertexCount_; ++i) {
        vertices_[size_t(i)].set(record.x[size_t(i)], record.y[size_t(i)], record.z[size_t(i)]);
        log.printf(2, "{KMesh[vertex(%d)]}: X: %f  Y: %f Z: %f", i, double(record.x[size_t(i)]),
                   double(record.y[size_t(i)]), double(record.z[size_t(i)]));
    }
}

void KMesh::readPolygons(const Record& record) {
    DebugServer& log = debugServer();
    polygonCount_ = record.polygonCount;
    polygons_.assign(size_t(polygonCount_), KMeshPolygon());
    visibleList_.assign(size_t(polygonCount_), nullptr);
    submitVertices_.assign(size_t(polygonCount_) * 6 * 7, 0.0f);
    texCoords_.assign(size_t(vertexCount_), Direction());
    log.write("{KMesh}: Reading polygons...", 5);
    for (int i = 0; i < polygonCount_; ++i) {
        KMeshPolygon& p = polygons_[size_t(i)];
        p.vertices = vertices_.data();
        p.outcodes = outcodes_.data();
        p.transformed = transformed_.data();
        // Texture coordinates stay (0, 0) without a texture map; pointing at them anyway keeps a
        // textured surface mode chosen for such a mesh from reading through a null reference.
        p.texCoordA = &texCoords_[size_t(record.c[size_t(i)])];
        p.texCoordB = &texCoords_[size_t(record.b[size_t(i)])];
        p.texCoordC = &texCoords_[size_t(record.a[size_t(i)])];
        // The file winds its triangles the other way round.
        p.a = record.c[size_t(i)];
        p.b = record.b[size_t(i)];
        p.c = record.a[size_t(i)];
        log.printf(2, "{KMesh[poly(%d)]}: A: %d  B: %d C: %d", i, p.a, p.b, p.c);
    }
}

// Only the first groupCount materials of the file are looked at, whichever materials the groups
// name; the first texture map and the first reflection map met become the texture slots.
void KMesh::discoverTextures(const K3DSContainer& container, const Record& record) {
    DebugServer& log = debugServer();
    const Material* material = container.getFirstMaterial();
    bool haveTexture = false, haveReflection = false;
    for (int g = 0; g < record.groupCount && material; ++g, material = material->next.get()) {
        if (material->hasTextureMap) {
            hasTextureMap_ = 1;
            if (!record.hasMapping) {
                log.write("Error! No texture-coordinates specifed for object!", 10);
                invalid(container);
            }
            log.write("{KMesh}: Assigning texture-coordinates...", 3);
            for (int i = 0; i < vertexCount_; ++i) {
                texCoords_[size_t(i)].set(2.0f * record.u[size_t(i)] - 1.0f, 2.0f * record.v[size_t(i)] - 1.0f, 0.0f);
            }
            for (KMeshPolygon& p : polygons_) {
                p.texCoordA = &texCoords_[size_t(p.a)];
                p.texCoordB = &texCoords_[size_t(p.b)];
                p.texCoordC = &texCoords_[size_t(p.c)];
            }
            log.write("{KMesh}: Done.", 3);
            if (!haveTexture && material->textureMap) {
                haveTexture = true;
                textureNames_[0] = material->textureMap.get();
            }
        }
        if (material->hasReflectionMap) {
            hasEnvironmentMap_ = 1;
            if (!haveReflection && material->reflectionMap) {
                haveReflection = true;
                textureNames_[1] = material->reflectionMap.get();
            }
        }
    }
    textureCount_ = int(haveTexture) + int(haveReflection);
    // The reflection map takes the slot after the texture map.
    if (haveReflection && !haveTexture) textureNames_[0] = std::move(textureNames_[1]);
    environmentSlot_ = haveReflection ? textureCount_ - 1 : -1;
}

void KMesh::loadTextures() {
    DebugServer& log = debugServer();
    log.printf(5, "Allocating memory for %d texture(s)...", textureCount_);
    images_ = std::make_unique<KImage[]>(size_t(textureCount_));
    log.printf(5, "Reading (%d) texture-map(s)...", textureCount_);
    for (int slot = 0; slot < textureCount_; ++slot) {
        log.printf(5, slot == environmentSlot_ ? "Reading texture: \"%s\" (used as enviroment map)..."
                                  : "Reading texture: \"%s\" (used as texture map)...",
                   textureNames_[slot].c_str());
        images_[size_t(slot)].load(textureNames_[slot].c_str(), -1, -1);
    }
    log.write("Filtering textures...", 5);
    uploadTextures();
}

void KMesh::uploadTextures() {
    // Pictures go up at their own size, whatever it is (every GL since 2.0 takes any size); GL
    // reads width x height x 3 bytes, so the recorded size must be the decoded one.
    for (int slot = 0; slot < textureCount_; ++slot) {
        if (!images_[size_t(slot)].fitsTexture()) raise(errors::couldntReadFile, textureNames_[slot].c_str());
    }
    textureIds_.assign(size_t(textureCount_), 0);
    glGenTextures(GLsizei(textureCount_), textureIds_.data());
    // Rows of one or two pixels are not four-byte aligned.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int slot = 0; slot < textureCount_; ++slot) {
        const KImage& image = images_[size_t(slot)];
        glBindTexture(GL_TEXTURE_2D, textureIds_[size_t(slot)]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.width(), image.height(), 0, GL_RGB, GL_UNSIGNED_BYTE, image.pixels());
    }
}

void KMesh::assignMaterials(const K3DSContainer& container, const Record& record) {
    DebugServer& log = debugServer();
    for (int g = 0; g < record.groupCount; ++g) {
        const char* wanted = record.getMaterialName(g);
        log.printf(5, "{KMesh}: Requested material: \"%s\"", wanted ? wanted : "");
        const Material* material = container.getFirstMaterial();
        while (material && !sameName(material->getName(), wanted)) material = material->next.get();
        if (!material) raise(errors::couldntReadFile, container.getFileName());
        log.printf(5, "{KMesh}: Received material \"%s\"", material->getName());
        const int32_t count = record.getGroupSize(g);
        for (int32_t i = 0; i < count; ++i) setMaterial(g, record.getGroupPolygon(i, g), *material);
    }
}

void KMesh::setMaterial(int, int p, const Material& material) {
    debugServer().printf(5, "{KMesh::setMaterial}: Setting material for polygonIndex: %d", p);
    Colour& colour = polygonColours_[size_t(p)];
    colour = Colour(material.diffuse.red, material.diffuse.green, material.diffuse.blue);
    std::memcpy(&polygonColourCopies_[size_t(p) * 3], colour.stored(), 3 * sizeof(float));
    linkColours(p);
}

// Points polygon p at its colour, its corners' colours and its textures; the corners take the
// polygon's colour, so a vertex shared by several materials keeps the last one assigned.
void KMesh::linkColours(int p) {
    KMeshPolygon& poly = polygons_[size_t(p)];
    poly.colour = &polygonColours_[size_t(p)];
    poly.colourCopy = &polygonColourCopies_[size_t(p) * 3];
    for (int32_t corner : {poly.a, poly.b, poly.c}) {
        vertexColours_[size_t(corner)] = *poly.colour;
        vertexBaseColours_[size_t(corner)] = *poly.colour;
    }
    poly.litColourA = &vertexColours_[size_t(poly.a)];
    poly.litColourB = &vertexColours_[size_t(poly.b)];
    poly.litColourC = &vertexColours_[size_t(poly.c)];
    poly.baseColourA = &vertexBaseColours_[size_t(poly.a)];
    poly.baseColourB = &vertexBaseColours_[size_t(poly.b)];
    poly.baseColourC = &vertexBaseColours_[size_t(poly.c)];
    // Without a GL upload (no textures) there are no names to point at.
    if (textureIds_.empty()) return;
    const bool textureSlot = textureCount_ > (environmentSlot_ >= 0 ? 1 : 0);
    if (hasTextureMap_ && textureSlot) poly.texture = &textureIds_[0];
    if (hasEnvironmentMap_ && environmentSlot_ >= 0) poly.environmentTexture = &textureIds_[size_t(environmentSlot_)];
}

void KMesh::assignDefaultColours() {
    DebugServer& log = debugServer();
    for (int i = 0; i < polygonCount_; ++i) {
        if (polygons_[size_t(i)].colour) continue;
        log.printf(5, "{KMesh::set()}: Setting default material for polygon[%d]... (none was found)", i);
        const int red = randomNumber() % 255;
        const int green = randomNumber() % 255;
        const int blue = randomNumber() % 255;
        polygonColours_[size_t(i)] = Colour(float(red), float(green), float(blue));
        std::memcpy(&polygonColourCopies_[size_t(i) * 3], polygonColours_[size_t(i)].stored(), 3 * sizeof(float));
        linkColours(i);
    }
}

void KMesh::computeNormals() {
    faceNormals_.assign(size_t(polygonCount_), Direction());
    for (int i = 0; i < polygonCount_; ++i) {
        KMeshPolygon& p = polygons_[size_t(i)];
        const Direction e1(vertices_[size_t(p.a)], vertices_[size_t(p.c)]);
        const Direction e2(vertices_[size_t(p.a)], vertices_[size_t(p.b)]);
        Direction& n = faceNormals_[size_t(i)];
        n.cross(e1, e2);
        p.faceNormal = &n;
    }
    for (Direction& n : faceNormals_) {
        n.length();
        n.normalise();
    }

    // Sums in polygon order, corner by corner: the order a per-vertex scan over all polygons
    // would add them in, in one pass.
    std::vector<Direction> sums(static_cast<size_t>(vertexCount_));
    std::vector<int> matches(size_t(vertexCount_), 0);
    for (int i = 0; i < polygonCount_; ++i) {
        const KMeshPolygon& p = polygons_[size_t(i)];
        for (int32_t corner : {p.a, p.b, p.c}) {
            sums[size_t(corner)].add(faceNormals_[size_t(i)]);
            ++matches[size_t(corner)];
        }
    }
    vertexNormals_.assign(size_t(vertexCount_), Direction());
    mappingNormals_.assign(size_t(vertexCount_), Direction());
    for (int i = 0; i < vertexCount_; ++i) {
        Direction n = sums[size_t(i)];
        if (matches[size_t(i)] == 0) {
            debugServer().printf(5, "NOTE: normal-calculation failed for vertex %d - setting normal to 0,0,1...", i);
            n.set(0.0f, 0.0f, 1.0f);
        } else {
            n.divide(float(matches[size_t(i)]));
        }
        vertexNormals_[size_t(i)] = n;
        mappingNormals_[size_t(i)] = n;
    }
    for (KMeshPolygon& p : polygons_) {
        p.normalA = &vertexNormals_[size_t(p.a)];
        p.normalB = &vertexNormals_[size_t(p.b)];
        p.normalC = &vertexNormals_[size_t(p.c)];
        // Set for every mesh (not only environment-mapped ones) so that no surface mode can
        // reach a null reference.
        p.mappingNormalA = &mappingNormals_[size_t(p.a)];
        p.mappingNormalB = &mappingNormals_[size_t(p.b)];
        p.mappingNormalC = &mappingNormals_[size_t(p.c)];
    }
    for (std::vector<Direction>* normals : {&vertexNormals_, &mappingNormals_}) {
        for (Direction& n : *normals) {
            n.length();
            n.normalise();
        }
    }
}

void KMesh::computeRadius() {
    const Point& centre = frame_->getPosition();
    float largest = 0.0f;
    for (const Point& v : vertices_) {
        const float dx = v.x - centre.x, dy = v.y - centre.y, dz = v.z - centre.z;
        const float sum = dx * dx + dy * dy + dz * dz;
        const float d = sum > 0.0f ? std::sqrt(sum) : 0.0f;
        if (d > largest) largest = d;
    }
    radius_ = largest;
    radiusSquared_ = radius_ * radius_;
    debugServer().printf(5, "{KMesh}: Radii: %f.", double(radius_));
}

void KMesh::setRenderMode(int mode) {
    renderMode_ = mode;
    for (KMeshPolygon& p : polygons_) p.renderMode = mode;
}

void KMesh::setSurfaceMode(int mode) {
    surfaceMode_ = mode;
    for (KMeshPolygon& p : polygons_) p.surfaceMode = mode;
}
