#include "scenes.h"

#include <cmath>
#include <stdexcept>

#include "detmath.h"

namespace scenes {
namespace {

struct D3 {
    double x, y, z;
};

D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator*(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 toFloat(D3 v) { return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}; }
D3 toDouble(Vec3 v) { return {v.x, v.y, v.z}; }

// The show's angle unit: 65535 units to a full turn.
double angle(int units) { return det::kTwoPi * units / 65535.0; }

// Faces must point away from a solid's inside so that back-face selection keeps the visible
// side: checks that every face from `first` on points away from the given centre.
void checkOutward(const Mesh& m, D3 centre, std::size_t first = 0) {
    for (std::size_t i = first; i < m.faces.size(); ++i) {
        const auto& f = m.faces[i];
        D3 a = toDouble(m.vertices[f[0]]), b = toDouble(m.vertices[f[1]]), c = toDouble(m.vertices[f[2]]);
        D3 n = cross(b - a, c - a);
        D3 mid = (a + b + c) * (1.0 / 3.0);
        if (dot(n, mid - centre) <= 0) throw std::logic_error("face of " + m.name + " points inward");
    }
}

class MeshBuilder {
public:
    explicit MeshBuilder(std::string name) { mesh_.name = std::move(name); }
    std::uint16_t vertex(D3 p) {
        if (mesh_.vertices.size() >= 65535) throw std::logic_error("mesh " + mesh_.name + " has too many vertices");
        mesh_.vertices.push_back(toFloat(p));
        return static_cast<std::uint16_t>(mesh_.vertices.size() - 1);
    }
    void face(std::uint16_t a, std::uint16_t b, std::uint16_t c) { mesh_.faces.push_back({a, b, c}); }
    void quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
        face(a, b, c);
        face(a, c, d);
    }
    // An axis-aligned box, faces pointing outward; `open` leaves out the two faces across axis
    // 0 = x, 1 = y, 2 = z (or -1 for a closed box).
    void box(D3 centre, D3 half, int open = -1) {
        std::size_t first = mesh_.faces.size();
        std::uint16_t v[8];
        for (int i = 0; i < 8; ++i)
            v[i] = vertex({centre.x + ((i & 1) ? half.x : -half.x), centre.y + ((i & 2) ? half.y : -half.y),
                           centre.z + ((i & 4) ? half.z : -half.z)});
        if (open != 0) {
            quad(v[0], v[4], v[6], v[2]);  // -x
            quad(v[1], v[3], v[7], v[5]);  // +x
        }
        if (open != 1) {
            quad(v[0], v[1], v[5], v[4]);  // -y
            quad(v[2], v[6], v[7], v[3]);  // +y
        }
        if (open != 2) {
            quad(v[0], v[2], v[3], v[1]);  // -z
            quad(v[4], v[5], v[7], v[6]);  // +z
        }
        checkOutward(mesh_, centre, first);
    }
    // A UV sphere about the object origin.
    void sphere(double radius, int slices, int rings) {
        std::uint16_t top = vertex({0, radius, 0});
        std::vector<std::uint16_t> ring((rings - 1) * slices);
        for (int r = 1; r < rings; ++r) {
            double polar = det::kPi * r / rings;
            for (int s = 0; s < slices; ++s) {
                double azimuth = det::kTwoPi * (s + 0.5 * (r & 1)) / slices;
                ring[(r - 1) * slices + s] = vertex({radius * det::sin(polar) * det::cos(azimuth),
                                                     radius * det::cos(polar),
                                                     radius * det::sin(polar) * det::sin(azimuth)});
            }
        }
        std::uint16_t bottom = vertex({0, -radius, 0});
        auto at = [&](int r, int s) { return ring[(r - 1) * slices + (s % slices)]; };
        for (int s = 0; s < slices; ++s) face(top, at(1, s + 1), at(1, s));
        for (int r = 1; r + 1 < rings; ++r)
            for (int s = 0; s < slices; ++s) quad(at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s));
        for (int s = 0; s < slices; ++s) face(bottom, at(rings - 1, s), at(rings - 1, s + 1));
    }
    Mesh& mesh() { return mesh_; }
    Mesh take(Vec3 position, std::string material) {
        mesh_.position = position;
        mesh_.material = std::move(material);
        return std::move(mesh_);
    }

private:
    Mesh mesh_;
};

Material material(std::string name, std::array<std::uint8_t, 3> diffuse, std::string map = {}) {
    Material m;
    m.name = std::move(name);
    m.diffuse = diffuse;
    for (int i = 0; i < 3; ++i) {
        m.ambient[i] = static_cast<std::uint8_t>(diffuse[i] / 4);
        m.specular[i] = 229;
    }
    m.textureMap = std::move(map);
    return m;
}

}  // namespace

// Seen from (-100, 0, 0) toward the origin and from the origin along +z: the spheres sit in front
// of the origin (z > 0), slightly left of the axis, and orbit the y axis within reach of both views.
Scene spheres() {
    Scene s;
    s.path = "data/spheres3.3ds";
    s.materials = {material("Glacier", {150, 205, 255}), material("Amber", {255, 185, 95}),
                   material("Rose", {255, 125, 175}), material("Lime", {175, 255, 125}),
                   material("Gold", {255, 225, 120}), material("Violet", {190, 150, 255})};
    struct Ball {
        const char* name;
        D3 at;
        double radius;
        int slices, rings;
        const char* material;
    };
    static constexpr Ball balls[] = {
        {"Core", {0, 0, 46}, 34, 16, 10, "Glacier"},    {"Crown", {12, 44, 6}, 20, 12, 8, "Amber"},
        {"Root", {-17, -46, 23}, 21, 12, 8, "Rose"},    {"Bloom", {29, 23, 86}, 19, 12, 8, "Lime"},
        {"Drift", {23, -35, 80}, 17, 10, 7, ""},        {"Ember", {-29, 17, -23}, 15, 10, 7, "Gold"},
        {"Dusk", {17, -12, -40}, 14, 10, 6, "Violet"},  {"Spark", {-12, 52, 69}, 12, 8, 6, "Amber"},
    };
    for (const Ball& b : balls) {
        MeshBuilder mb(b.name);
        mb.sphere(b.radius, b.slices, b.rings);
        checkOutward(mb.mesh(), {0, 0, 0});
        s.meshes.push_back(mb.take(toFloat(b.at), b.material));
    }
    s.lights = {{"Key", toFloat({-160, 130, -70}), {0.30f, 0.34f, 0.45f}}};
    return s;
}

// Two helical bands around the z axis, from z = -1300 to 1500, wide enough (radius about 110)
// that the camera's path (x 0, y from 50 down to about -90) stays inside. The first band is mesh
// 0, which the show turns by 50000 angle units about x; it is stored pre-turned the other way so
// that both bands wind about the same axis in the world.
Scene spiral() {
    Scene s;
    s.path = "data/Spiral.3ds";
    s.materials = {material("Streak", {120, 215, 255}, "x26.jpg"), material("Ember", {255, 140, 200})};
    const double zFrom = -1300, zTo = 1500, pitch = 320, width = 100;
    const int perTurn = 16;
    const int segments = static_cast<int>((zTo - zFrom) / pitch * perTurn);
    // Mesh 0's world placement: right (1, 0, 0), up (0, c, -s), forward (0, s, c) with c, s the
    // table cosine and sine at 50000 units; world = (v.right, v.up, v.forward).
    const double c = static_cast<float>(det::cos(angle(50000))), sn = static_cast<float>(det::sin(angle(50000)));
    auto unturn = [&](D3 w) { return D3{w.x, c * w.y + sn * w.z, -sn * w.y + c * w.z}; };
    for (int band = 0; band < 2; ++band) {
        MeshBuilder mb(band == 0 ? "HelixA" : "HelixB");
        for (int i = 0; i <= segments; ++i) {
            double t = static_cast<double>(i) / perTurn;  // turns
            double z = zFrom + t * pitch;
            double phase = det::kTwoPi * (t + 0.5 * band);
            double radius = 112 + 14 * det::sin(det::kTwoPi * t / 5.3 + band);
            D3 centre{0, -20, 0};
            for (int edge = 0; edge < 2; ++edge) {
                D3 w{centre.x + radius * det::cos(phase), centre.y + radius * det::sin(phase),
                     z + (edge ? width / 2 : -width / 2)};
                mb.vertex(band == 0 ? unturn(w) : w);
                mb.mesh().mapping.push_back({static_cast<float>(edge), static_cast<float>(i % perTurn) / perTurn});
            }
        }
        // Faces wound so that their normals point to the axis, where the lights are.
        for (int i = 0; i < segments; ++i) {
            auto v = static_cast<std::uint16_t>(2 * i);
            mb.quad(v, static_cast<std::uint16_t>(v + 1), static_cast<std::uint16_t>(v + 3),
                    static_cast<std::uint16_t>(v + 2));
        }
        s.meshes.push_back(mb.take({0, 0, 0}, band == 0 ? "Streak" : "Ember"));
    }
    s.lights = {{"Glow0", toFloat({0, -20, -700}), {0.30f, 0.40f, 0.55f}},
                {"Glow1", toFloat({0, -20, 100}), {0.45f, 0.35f, 0.50f}},
                {"Glow2", toFloat({0, -20, 900}), {0.30f, 0.45f, 0.50f}}};
    return s;
}

// A lattice of beams (four by four by four nodes). The show places it tilted at (20, 20, 500),
// level with the camera at (0, 0, 500), and sends it away along -z, stretched to twice its width
// and height; the lattice lies ahead of the camera in the mesh's +z and below in its -y, so that
// it fills the left four fifths of the picture that the line field samples.
Scene array() {
    Scene s;
    s.path = "data/Array.3ds";
    s.materials = {material("Lattice", {140, 225, 255})};
    MeshBuilder mb("Lattice");
    const double xs[4] = {-150, -50, 50, 150}, ys[4] = {-250, -150, -50, 50}, zs[4] = {40, 190, 340, 490};
    const double t = 4.5;  // half thickness of a beam
    for (double y : ys)
        for (double z : zs) mb.box({0, y, z}, {150 + t, t, t}, 0);
    for (double x : xs)
        for (double z : zs) mb.box({x, -100, z}, {t, 150 + t, t}, 1);
    for (double x : xs)
        for (double y : ys) mb.box({x, y, 265}, {t, t, 225 + t}, 2);
    // Open beams have as many vertices as faces; without mapping coordinates the material group
    // would then lie within the vertex list's reach and the walk would skip the polygon list.
    for (const Vec3& v : mb.mesh().vertices)
        mb.mesh().mapping.push_back({(v.x + 160.0f) / 320.0f, (v.z - 30.0f) / 480.0f});
    s.meshes.push_back(mb.take({0, 0, 0}, "Lattice"));
    s.lights = {{"Sky", toFloat({-300, 400, 900}), {0.35f, 0.40f, 0.50f}}};
    return s;
}

// Three by three columns of stacked boxes about the origin: seen whole from (0, 0, 150), and from
// (20, 10, 25), which lies in the corridor between the columns.
Scene arrays() {
    Scene s;
    s.path = "data/Arrays.3ds";
    s.materials = {material("Block", {255, 190, 130})};
    MeshBuilder mb("Columns");
    det::Rng rng(0x41727261797321ull);
    for (int ix = -1; ix <= 1; ++ix)
        for (int iz = -1; iz <= 1; ++iz)
            for (int iy = 0; iy < 4; ++iy) {
                double hx = 9 + 5 * rng.uniform(), hz = 9 + 5 * rng.uniform(), hy = 8 + 9 * rng.uniform();
                mb.box({70.0 * ix, -75 + 50.0 * iy, 70.0 * iz}, {hx, hy, hz});
            }
    s.meshes.push_back(mb.take({0, 0, 0}, "Block"));
    s.lights = {{"Lamp", toFloat({120, 260, 300}), {0.40f, 0.38f, 0.32f}}};
    return s;
}

std::vector<Scene> all() { return {spheres(), spiral(), array(), arrays()}; }

int polygonCount(const Scene& scene) {
    int n = 0;
    for (const Mesh& m : scene.meshes) n += static_cast<int>(m.faces.size());
    return n;
}

int vertexCount(const Scene& scene) {
    int n = 0;
    for (const Mesh& m : scene.meshes) n += static_cast<int>(m.vertices.size());
    return n;
}

}  // namespace scenes
