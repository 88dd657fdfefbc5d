// The generated content as the show meets it: the archive the build made holds the seven files,
// every scene reads back through the program's own loader as designed, and the textures decode to
// the sizes the show hands to GL.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "archive/file_server.h"
#include "loader3ds/k3ds_container.h"
#include "scene_file.h"
#include "scenes.h"
#include "textures.h"
#include "title_view.h"

namespace {

const std::string kArchive = std::string(GLIMMER_BINARY_DIR) + "/Glimmertide.dat";

struct Decoded {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Decoded decodeJpeg(const unsigned char* bytes, unsigned long size) {
    Decoded d;
    tjhandle h = tjInitDecompress();
    int sub = 0, space = 0;
    if (tjDecompressHeader3(h, bytes, size, &d.width, &d.height, &sub, &space) == 0) {
        d.rgb.resize(static_cast<std::size_t>(d.width * d.height * 3));
        if (tjDecompress2(h, bytes, size, d.rgb.data(), d.width, 0, d.height, TJPF_RGB, 0) != 0) d.rgb.clear();
    }
    tjDestroy(h);
    return d;
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

TEST(GeneratedArchive, HoldsTheSevenFilesTheShowAsksFor) {
    DebugServer log(11, 0);
    FileServer files(log, 200);
    ASSERT_EQ(files.openArchive(kArchive.c_str()), 0);
    const char* names[] = {"data/spheres3.3ds", "data/Spiral.3ds",      "data/Array.3ds",       "data/Arrays.3ds",
                           "data/x26.jpg",      "data/glimmertide.jpg", "data/glimmertide1.mp3"};
    ASSERT_EQ(files.archive().entries().size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(files.archive().entries()[i].name, names[i]);
        EXPECT_GT(files.getFileSize(names[i]), 0);
    }
}

TEST(GeneratedArchive, ScenesLoadFromItWithAMeshEachAndTheirLights) {
    DebugServer log(11, 0);
    FileServer files(log, 200);
    ASSERT_EQ(files.openArchive(kArchive.c_str()), 0);
    struct Expect {
        const char* name;
        int minMeshes, minLights, maxLights;
    } expects[] = {{"data/spheres3.3ds", 3, 0, 3}, {"data/Spiral.3ds", 1, 1, 3}, {"data/Array.3ds", 1, 0, 3},
                   {"data/Arrays.3ds", 1, 0, 3}};
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.name);
        K3DSContainer c(e.name, files, log);
        ASSERT_TRUE(c.ok());
        EXPECT_GE(c.getMeshCount(), e.minMeshes);
        EXPECT_GE(c.getLightCount(), e.minLights);
        EXPECT_LE(c.getLightCount(), e.maxLights);
        EXPECT_GT(c.getFirstMesh()->polygonCount, 0);
    }
}

TEST(GeneratedScenes, ReadBackIntact) {
    for (const scenes::Scene& s : scenes::all()) {
        SCOPED_TRACE(s.path);
        EXPECT_EQ(scenes::selfCheck(s, scenes::sceneFile(s)), "");
    }
}

// How many polygons the mesh pipeline would draw from a viewpoint: each mesh placed by its frame
// (axes from position toward target), back faces dropped unless two-sided, and polygons whose
// three corners lie outside the same side of the view volume rejected.
struct D3 {
    double x, y, z;
};
D3 sub(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
D3 unit(D3 a) {
    double l = std::sqrt(dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}
struct Axes {
    D3 right, up, forward;
};
Axes axesOf(D3 position, D3 target) {
    D3 f = unit(sub(target, position));
    D3 r = unit(cross({0, 1, 0}, f));
    return {r, unit(cross(f, r)), f};
}
D3 rotateX(D3 p, int units) {
    double a = 2 * M_PI * units / 65535.0, c = std::cos(a), s = std::sin(a);
    return {p.x, c * p.y + s * p.z, c * p.z - s * p.y};
}

struct Placement {
    D3 position, target;
};

int drawnPolygons(const scenes::Scene& scene, const std::vector<Placement>& meshes, D3 eye, D3 look,
                  bool twoSided, D3 stretch = {1, 1, 1}) {
    Axes cam = axesOf(eye, look);
    int drawn = 0;
    for (std::size_t i = 0; i < scene.meshes.size() && i < meshes.size(); ++i) {
        const scenes::Mesh& m = scene.meshes[i];
        Axes ax = axesOf(meshes[i].position, meshes[i].target);
        D3 d = sub(eye, meshes[i].position);
        D3 eyeInMesh = {d.x * ax.right.x + d.y * ax.up.x + d.z * ax.forward.x,
                        d.x * ax.right.y + d.y * ax.up.y + d.z * ax.forward.y,
                        d.x * ax.right.z + d.y * ax.up.z + d.z * ax.forward.z};
        std::vector<int> codes;
        for (const scenes::Vec3& v : m.vertices) {
            D3 o{v.x, v.y, v.z};
            D3 w{dot(o, ax.right) + meshes[i].position.x, dot(o, ax.up) + meshes[i].position.y,
                 dot(o, ax.forward) + meshes[i].position.z};
            D3 q = sub({w.x * stretch.x, w.y * stretch.y, w.z * stretch.z}, eye);
            double x = dot(q, cam.right) * 1.118, y = dot(q, cam.up) * 1.118, z = dot(q, cam.forward);
            double k = z < 1 ? 1 : z;
            codes.push_back((x > k) | (x < -k) << 1 | (y > k) << 2 | (y < -k) << 3 | (z < 1) << 4);
        }
        for (const auto& f : m.faces) {
            D3 a{m.vertices[f[0]].x, m.vertices[f[0]].y, m.vertices[f[0]].z};
            D3 b{m.vertices[f[1]].x, m.vertices[f[1]].y, m.vertices[f[1]].z};
            D3 c{m.vertices[f[2]].x, m.vertices[f[2]].y, m.vertices[f[2]].z};
            bool front = dot(sub(eyeInMesh, a), cross(sub(b, a), sub(c, a))) >= 0;
            if ((front || twoSided) && !(codes[f[0]] & codes[f[1]] & codes[f[2]])) ++drawn;
        }
    }
    return drawn;
}

TEST(GeneratedScenes, StayWithinThePolygonBudgetFromTheirViewpoints) {
    const int budget = 600;
    scenes::Scene spheres = scenes::spheres();
    std::vector<Placement> loaded;
    for (const scenes::Mesh& m : spheres.meshes) loaded.push_back({{m.position.x, m.position.y, m.position.z}, {0, 0, 1}});
    EXPECT_LE(drawnPolygons(spheres, loaded, {-100, 0, 0}, {0, 0, 0}, false), budget);
    EXPECT_LE(drawnPolygons(spheres, loaded, {0, 0, 0}, {0, 0, 1000}, false), budget);
    EXPECT_LE(drawnPolygons(spheres, loaded, {-60, -10, 10}, {0, 0, 0}, false), budget);

    // The spiral is seen from inside with both faces of every band.
    scenes::Scene spiral = scenes::spiral();
    std::vector<Placement> turned = {{{0, 0, 0}, rotateX({0, 0, 1}, 50000)}, {{0, 0, 0}, {0, 0, 1}}};
    for (double z : {-375.0, 0.0, 400.0, 800.0}) {
        EXPECT_LE(drawnPolygons(spiral, turned, {0, 0, z}, {0, 0, z + 1000}, true), budget) << z;
        EXPECT_LE(drawnPolygons(spiral, turned, {0, 0, z}, {0, 0, z - 1000}, true), budget) << z;
    }

    scenes::Scene array = scenes::array();
    for (double away : {0.0, 300.0, 600.0}) {
        Placement p{{20, 20, 500 - away}, rotateX({20, 20, 500}, 24000)};
        p.target.z -= away;
        EXPECT_LE(drawnPolygons(array, {p}, {0, 0, 500}, {0, 0, 0}, false, {2, 2, 1}), budget) << away;
    }

    scenes::Scene arrays = scenes::arrays();
    std::vector<Placement> centred = {{{0, 0, 0}, {0, 0, 10000}}};
    EXPECT_LE(drawnPolygons(arrays, centred, {0, 0, 150}, {0, 0, 0}, false), budget);
    EXPECT_LE(drawnPolygons(arrays, centred, {20, 10, 25}, {0, 0, 0}, false), budget);
}

// The spiral's first band is stored turned back against the show's turn of mesh 0, so once the
// show turns it, both bands wind about the z axis at the same radius.
TEST(GeneratedScenes, SpiralBandsWindAboutTheZAxisOnceTheShowTurnsTheFirst) {
    scenes::Scene spiral = scenes::spiral();
    Axes turned = axesOf({0, 0, 0}, rotateX({0, 0, 1}, 50000));
    for (std::size_t band = 0; band < 2; ++band) {
        double lo = 1e9, hi = 0;
        for (const scenes::Vec3& v : spiral.meshes[band].vertices) {
            D3 o{v.x, v.y, v.z};
            D3 w = band == 0 ? D3{dot(o, turned.right), dot(o, turned.up), dot(o, turned.forward)} : o;
            double r = std::hypot(w.x, w.y + 20);
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        EXPECT_GT(lo, 90) << band;
        EXPECT_LT(hi, 130) << band;
    }
}

TEST(GeneratedScenes, SpheresKeepAMeshWithoutMaterialForRandomColours) {
    scenes::Scene s = scenes::spheres();
    int plain = 0;
    for (const scenes::Mesh& m : s.meshes) plain += m.material.empty();
    EXPECT_GE(plain, 1);
    EXPECT_GE(s.meshes.size(), 3u);
}

// A textured first material makes every mesh with a material group load the texture, which
// needs mapping coordinates on each of them.
TEST(GeneratedScenes, EveryMeshMeetingATexturedFirstMaterialHasMappingCoordinates) {
    for (const scenes::Scene& s : scenes::all()) {
        if (s.materials.empty() || s.materials[0].textureMap.empty()) continue;
        for (const scenes::Mesh& m : s.meshes) {
            SCOPED_TRACE(s.path + " " + m.name);
            if (!m.material.empty()) {
                EXPECT_EQ(m.mapping.size(), m.vertices.size());
            }
        }
    }
}

TEST(GeneratedScenes, SelfCheckCatchesAMaterialGroupWithinTheVertexListsReach) {
    // Open boxes have as many vertices as faces; without mapping coordinates the search behind the
    // vertex list reaches the material group and the polygon list is never read.
    scenes::Scene s = scenes::array();
    s.meshes[0].mapping.clear();
    std::string problem = scenes::selfCheck(s, scenes::sceneFile(s));
    EXPECT_NE(problem.find("polygon count"), std::string::npos) << problem;
}

TEST(GeneratedScenes, SelfCheckCatchesAFloatThatReadsAsTheMaterialGroupIdentifier) {
    // 11.0f is stored as 00 00 30 41: as a mesh position in the local-axes chunk it lies within
    // the search behind the vertex list, which takes it for the material group 0x4130.
    scenes::Scene s = scenes::spheres();
    s.meshes[1].position.x = 11.0f;
    EXPECT_NE(scenes::selfCheck(s, scenes::sceneFile(s)), "");
    s.meshes[1].position.x = 11.5f;
    EXPECT_EQ(scenes::selfCheck(s, scenes::sceneFile(s)), "");
}

TEST(GeneratedTextures, LightStreakIsPowerOfTwoAndBrightAlongTheBarsSamplingRange) {
    auto jpeg = textures::encodeJpeg(textures::lightStreak(), 92);
    Decoded d = decodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_FALSE(d.rgb.empty());
    EXPECT_TRUE(powerOfTwo(d.width));
    EXPECT_TRUE(powerOfTwo(d.height));
    // The core (s = 0.5) is lit from t = 0 to t = 1; the sides are darker than the core.
    for (int y : {0, d.height / 2, d.height - 1}) {
        const unsigned char* core = &d.rgb[static_cast<std::size_t>((y * d.width + d.width / 2) * 3)];
        const unsigned char* side = &d.rgb[static_cast<std::size_t>((y * d.width + d.width * 15 / 100) * 3)];
        EXPECT_GT(core[0], 120) << "row " << y;
        EXPECT_LT(side[0], core[0]) << "row " << y;
    }
}

TEST(GeneratedTextures, TitleCardWritesBothLinesAsWideAsTheShownTexelsAllowAndNothingBrightOutside) {
    auto jpeg = textures::encodeJpeg(textures::titleCard(), 92);
    Decoded d = decodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_EQ(d.width, 256);
    ASSERT_EQ(d.height, 256);
    const title_view::Region shown = title_view::visibleRegion();
    const textures::TitleText text = textures::titleText();
    for (const textures::TextLine& line : {text.title, text.subtitle}) {
        EXPECT_GE(line.left, shown.left);
        EXPECT_LE(line.right(), shown.right);
        EXPECT_GE(line.top, shown.top);
        EXPECT_LE(line.top + line.height, shown.bottom);
        EXPECT_GT(line.right() - line.left, 0.8 * (shown.right - shown.left));
    }
    EXPECT_LT(text.title.top + text.title.height, text.subtitle.top);
    // Strokes (red above 200) only where the layout says, reaching from the G's stem to the E's bars.
    auto red = [&](int x, int y) { return d.rgb[static_cast<std::size_t>((y * 256 + x) * 3)]; };
    int left = 256, right = -1, outside = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            if (red(x, y) <= 200) continue;
            outside += x < shown.left || x >= shown.right || y < shown.top || y >= shown.bottom;
            if (y < text.title.top || y > text.title.top + text.title.height) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_NEAR(left, text.title.left, 2.0);
    EXPECT_NEAR(right, text.title.right(), 2.0);
}

TEST(TitleView, TheNearerLineFieldShowsLessOfThePicture) {
    const title_view::Region shown = title_view::visibleRegion();
    const projection::Matrices window = projection::window(324, 265, 320, 240, 45.0f);
    const double v = (shown.top + shown.bottom) / 2.0;
    title_view::Point at{};
    // The region's edge texels are shown at both ends of the approach and land near the picture's
    // edges when the field is nearest; a few texels further out only while it is far.
    EXPECT_TRUE(title_view::shown(window, shown.left + 0.5, v, title_view::startDepth(), &at));
    EXPECT_TRUE(title_view::shown(window, shown.left + 0.5, v, title_view::nearestDepth(), &at));
    EXPECT_NEAR(at.x, 0.0, 3.0);
    EXPECT_TRUE(title_view::shown(window, shown.right - 0.5, v, title_view::nearestDepth(), &at));
    EXPECT_NEAR(at.x, 320.0, 3.0);
    EXPECT_FALSE(title_view::shown(window, shown.left - 3.5, v, title_view::nearestDepth(), &at));
    EXPECT_TRUE(title_view::shown(window, shown.left - 3.5, v, title_view::startDepth(), &at));
}

}  // namespace
