// The generator's self-check: every scene file is read back by the program's own chunk walk, and
// the records must be exactly what the generator meant to write. The walk's byte-wise searches
// can take float or name bytes for a chunk identifier; if a scene's values ever make that
// happen, the check names the first record that differs and the generator stops.
#include <sstream>

#include "base/debug_server.h"
#include "loader3ds/k3ds_container.h"
#include "scene_file.h"

namespace scenes {
namespace {

class Mismatch {
public:
    template <typename A, typename B>
    void expect(bool ok, const std::string& what, const A& got, const B& wanted) {
        if (ok || !text_.empty()) return;
        std::ostringstream s;
        s << what << ": read " << got << ", wrote " << wanted;
        text_ = s.str();
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

bool same(float a, float b) { return a == b; }

std::string str(const char* s) { return s ? s : "(none)"; }

void checkTriple(Mismatch& m, const std::string& what, const K3DSContainer::Triple& got, const Vec3& want) {
    m.expect(same(got.x, want.x) && same(got.y, want.y) && same(got.z, want.z), what,
             std::to_string(got.x) + "," + std::to_string(got.y) + "," + std::to_string(got.z),
             std::to_string(want.x) + "," + std::to_string(want.y) + "," + std::to_string(want.z));
}

void checkMesh(Mismatch& m, const K3DSContainer::InnerMesh& got, const Mesh& want) {
    std::string at = "mesh \"" + want.name + "\" ";
    m.expect(str(got.getName()) == want.name, at + "name", str(got.getName()), want.name);
    m.expect(got.vertexCount == static_cast<int>(want.vertices.size()), at + "vertex count", got.vertexCount,
             want.vertices.size());
    m.expect(got.polygonCount == static_cast<int>(want.faces.size()), at + "polygon count", got.polygonCount,
             want.faces.size());
    if (!m.text().empty()) return;
    for (std::size_t i = 0; i < want.vertices.size(); ++i) {
        const Vec3& v = want.vertices[i];
        m.expect(same(got.x[i], v.x) && same(got.y[i], v.y) && same(got.z[i], v.z),
                 at + "vertex " + std::to_string(i), got.x[i], v.x);
    }
    for (std::size_t i = 0; i < want.faces.size(); ++i) {
        const auto& f = want.faces[i];
        m.expect(got.a[i] == f[0] && got.b[i] == f[1] && got.c[i] == f[2], at + "polygon " + std::to_string(i),
                 got.a[i], f[0]);
    }
    m.expect(got.hasMapping == (want.mapping.empty() ? 0 : 1), at + "mapping flag", int(got.hasMapping),
             !want.mapping.empty());
    if (got.hasMapping && !want.mapping.empty())
        for (std::size_t i = 0; i < want.mapping.size(); ++i)
            m.expect(same(got.u[i], want.mapping[i][0]) && same(got.v[i], want.mapping[i][1]),
                     at + "mapping " + std::to_string(i), got.u[i], want.mapping[i][0]);
    checkTriple(m, at + "x axis", got.xAxis, want.axes[0]);
    checkTriple(m, at + "y axis", got.yAxis, want.axes[1]);
    checkTriple(m, at + "z axis", got.zAxis, want.axes[2]);
    checkTriple(m, at + "position", got.position, want.position);
    int groups = want.material.empty() ? 0 : 1;
    m.expect(got.groupCount == groups, at + "group count", got.groupCount, groups);
    if (groups == 1 && got.groupCount == 1) {
        const char* name = got.groups.empty() ? nullptr : got.groups[0].name.c_str();
        m.expect(str(name) == want.material, at + "material", str(name), want.material);
        bool all = !got.groups.empty() && got.groups[0].count == static_cast<int>(want.faces.size());
        for (std::size_t i = 0; all && i < want.faces.size(); ++i) all = got.groups[0].polygons[i] == static_cast<int>(i);
        m.expect(all, at + "group polygons", got.groups.empty() ? 0 : got.groups[0].count, want.faces.size());
    }
}

}  // namespace

std::string selfCheck(const Scene& scene, const std::vector<std::uint8_t>& bytes) {
    // The walk traces every chunk to the debug log; the check needs none of it.
    DebugServer quiet(11, 0);
    K3DSContainer c(scene.path.c_str(), bytes.data(), bytes.size(), quiet);
    Mismatch m;
    m.expect(c.ok(), "container", "refused", "a scene");
    m.expect(c.getMeshCount() == static_cast<int>(scene.meshes.size()), "mesh count", c.getMeshCount(),
             scene.meshes.size());
    m.expect(c.getLightCount() == static_cast<int>(scene.lights.size()), "light count", c.getLightCount(),
             scene.lights.size());
    if (!m.text().empty()) return scene.path + ": " + m.text();

    const K3DSContainer::InnerMesh* mesh = c.getFirstMesh();
    for (const Mesh& want : scene.meshes) {
        checkMesh(m, *mesh, want);
        mesh = mesh->next.get();
    }
    const K3DSContainer::InnerLight* light = c.getFirstLight();
    for (const Light& want : scene.lights) {
        std::string at = "light \"" + want.name + "\" ";
        m.expect(str(light->getName()) == want.name, at + "name", str(light->getName()), want.name);
        checkTriple(m, at + "position", light->position, want.position);
        m.expect(same(light->colour.red, want.colour[0]) && same(light->colour.green, want.colour[1]) &&
                     same(light->colour.blue, want.colour[2]),
                 at + "colour", light->colour.red, want.colour[0]);
        light = light->next.get();
    }
    m.expect(c.getFirstCamera()->next == nullptr, "cameras", "some", "none");

    const K3DSContainer::InnerMaterial* material = c.getFirstMaterial();
    for (const Material& want : scene.materials) {
        m.expect(material != nullptr, "material \"" + want.name + "\"", "missing", "present");
        if (!material) break;
        std::string at = "material \"" + want.name + "\" ";
        m.expect(str(material->getName()) == want.name, at + "name", str(material->getName()), want.name);
        auto rgb = [&](const K3DSContainer::Colour& got, const std::array<std::uint8_t, 3>& w, const char* what) {
            m.expect(got.red == w[0] && got.green == w[1] && got.blue == w[2], at + what, got.red, int(w[0]));
        };
        rgb(material->ambient, want.ambient, "ambient");
        rgb(material->diffuse, want.diffuse, "diffuse");
        rgb(material->specular, want.specular, "specular");
        bool mapped = !want.textureMap.empty();
        m.expect(material->hasTextureMap == (mapped ? 1 : 0), at + "texture flag", int(material->hasTextureMap), mapped);
        if (mapped) {
            m.expect(str(material->textureMap.get()) == want.textureMap, at + "texture map",
                     str(material->textureMap.get()), want.textureMap);
            m.expect(material->texturePercent == 100.0f, at + "texture percent", material->texturePercent, 100);
        }
        material = material->next.get();
    }
    m.expect(material == nullptr, "material count", "more", scene.materials.size());
    return m.text().empty() ? "" : scene.path + ": " + m.text();
}

}  // namespace scenes
