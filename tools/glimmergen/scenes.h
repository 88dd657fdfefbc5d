#pragma once
// The four scene files of the show, designed for the camera paths and moves the show gives them:
// orbiting spheres, a double spiral to fly through, a lattice that rushes away and an array of
// box columns seen in bursts and close up. Each scene stays within about 600 polygons drawn per
// frame (outlines read best with few, large polygons).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scenes {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Material {
    std::string name;
    std::array<std::uint8_t, 3> ambient{}, diffuse{}, specular{};
    std::string textureMap;  // empty: none
};

struct Mesh {
    std::string name;
    std::vector<Vec3> vertices;                        // object space, about the mesh's position
    std::vector<std::array<std::uint16_t, 3>> faces;   // counter-clockwise seen from outside
    std::vector<std::array<float, 2>> mapping;         // per vertex, or empty
    std::array<Vec3, 3> axes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Vec3 position;
    std::string material;  // empty: no material group (the show gives it random colours)
};

struct Light {
    std::string name;
    Vec3 position;
    std::array<float, 3> colour{};  // 0 to 1
};

struct Scene {
    std::string path;  // archive name, e.g. "data/Spiral.3ds"
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
    std::vector<Light> lights;
};

Scene spheres();
Scene spiral();
Scene array();
Scene arrays();
std::vector<Scene> all();

int polygonCount(const Scene& scene);
int vertexCount(const Scene& scene);

}  // namespace scenes
