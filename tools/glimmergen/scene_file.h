#pragma once
// Writes a scene as a standard 3D Studio file (main chunk, editing section, keyframer section)
// and checks it by loading it back with the program's own K3DSContainer.
#include <cstdint>
#include <string>
#include <vector>

#include "scenes.h"

namespace scenes {

std::vector<std::uint8_t> sceneFile(const Scene& scene);

// Loads `bytes` with K3DSContainer and compares every record with `scene`. Returns "" when they
// agree, otherwise what differs (the chunk walk's byte-wise searches took data for a chunk).
std::string selfCheck(const Scene& scene, const std::vector<std::uint8_t>& bytes);

}  // namespace scenes
