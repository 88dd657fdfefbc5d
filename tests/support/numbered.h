#pragma once
// Numbered names for tests ("f17"). Not "f" + std::to_string(i): GCC 12 at -O3 takes that insert
// at the front of a temporary for an overlapping copy and warns (-Wrestrict, a false positive).
#include <string>

inline std::string numbered(const char* prefix, long long i) {
    std::string name = prefix;
    name += std::to_string(i);
    return name;
}
