#include "scene_file.h"

#include "support_3ds/chunk_builder.h"

namespace scenes {
namespace {

support3ds::Vec3 vec(const Vec3& v) { return {v.x, v.y, v.z}; }
support3ds::Rgb8 rgb(const std::array<std::uint8_t, 3>& c) { return {c[0], c[1], c[2]}; }

support3ds::Track oneKey(std::vector<float> values) {
    support3ds::Track t;
    t.keys.push_back({0, 0, {}, std::move(values)});
    return t;
}

}  // namespace

std::vector<std::uint8_t> sceneFile(const Scene& scene) {
    support3ds::Scene out;
    for (const Material& m : scene.materials) {
        support3ds::Material mat;
        mat.name = m.name;
        mat.ambient = rgb(m.ambient);
        mat.diffuse = rgb(m.diffuse);
        mat.specular = rgb(m.specular);
        if (!m.textureMap.empty()) mat.texture = support3ds::MapSpec{m.textureMap, 100};
        out.materials.push_back(mat);
    }
    // The keyframer holds each object at its place: one key per track at frame 0.
    support3ds::Keyframer keys;
    for (const Mesh& m : scene.meshes) {
        support3ds::Mesh mesh;
        mesh.name = m.name;
        for (const Vec3& v : m.vertices) mesh.vertices.push_back(vec(v));
        mesh.mapping = m.mapping;
        mesh.local = std::array<float, 12>{m.axes[0].x, m.axes[0].y, m.axes[0].z, m.axes[1].x, m.axes[1].y,
                                           m.axes[1].z, m.axes[2].x, m.axes[2].y, m.axes[2].z, m.position.x,
                                           m.position.y, m.position.z};
        for (const auto& f : m.faces) mesh.faces.push_back({f[0], f[1], f[2], 7});
        if (!m.material.empty()) {
            support3ds::MaterialGroup group{m.material, {}};
            for (std::size_t i = 0; i < m.faces.size(); ++i) group.faces.push_back(static_cast<std::uint16_t>(i));
            mesh.groups.push_back(std::move(group));
        }
        out.meshes.push_back(std::move(mesh));

        support3ds::Node node;
        node.name = m.name;
        node.nodeId = static_cast<std::uint16_t>(keys.nodes.size());
        node.position = oneKey({m.position.x, m.position.y, m.position.z});
        node.rotation = oneKey({0, 0, 0, 1});
        node.scale = oneKey({1, 1, 1});
        keys.nodes.push_back(std::move(node));
    }
    for (const Light& l : scene.lights) {
        out.lights.push_back({l.name, vec(l.position), {l.colour[0], l.colour[1], l.colour[2]}});
        support3ds::Node node;
        node.kind = support3ds::id::kKeyLight;
        node.name = l.name;
        node.nodeId = static_cast<std::uint16_t>(keys.nodes.size());
        node.position = oneKey({l.position.x, l.position.y, l.position.z});
        node.colour = oneKey({l.colour[0], l.colour[1], l.colour[2]});
        keys.nodes.push_back(std::move(node));
    }
    out.keyframer = std::move(keys);
    return support3ds::write3ds(out);
}

}  // namespace scenes
