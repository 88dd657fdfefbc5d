#pragma once
// Loads chunk images into a K3DSContainer with a log that keeps every line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/debug_server.h"
#include "loader3ds/k3ds_container.h"
#include "support_3ds/chunk_builder.h"

class Loaded {
public:
    explicit Loaded(const std::vector<uint8_t>& image, const char* name = "t.3ds") : log_(0, 0) {
        log_.setSink([this](std::string_view line) { lines.emplace_back(line); });
        prefix_ = std::string("{K3DSContainer[") + name + "]}: ";
        container = std::make_unique<K3DSContainer>(name, image.data(), image.size(), log_);
    }

    // Lines of the walk with their prefix removed, in order.
    std::vector<std::string> walk() const {
        std::vector<std::string> out;
        for (const std::string& line : lines)
            if (line.rfind(prefix_, 0) == 0) out.push_back(line.substr(prefix_.size()));
        return out;
    }
    bool has(std::string_view walkLine) const {
        for (const std::string& line : walk())
            if (line == walkLine) return true;
        return false;
    }

    K3DSContainer& operator*() { return *container; }
    K3DSContainer* operator->() { return container.get(); }

    // The n-th mesh / light / camera / material record (filled or not).
    K3DSContainer::InnerMesh& mesh(int n) {
        auto* m = container->getFirstMesh();
        while (n-- > 0) m = m->next.get();
        return *m;
    }
    K3DSContainer::InnerLight& light(int n) {
        auto* l = container->getFirstLight();
        while (n-- > 0) l = l->next.get();
        return *l;
    }
    K3DSContainer::InnerCamera& camera(int n) {
        auto* c = container->getFirstCamera();
        while (n-- > 0) c = c->next.get();
        return *c;
    }
    K3DSContainer::InnerMaterial& material(int n) {
        auto* m = container->getFirstMaterial();
        while (n-- > 0) m = m->next.get();
        return *m;
    }

    DebugServer log_;
    std::vector<std::string> lines;
    std::unique_ptr<K3DSContainer> container;

private:
    std::string prefix_;
};

// A triangle mesh with n vertices, n-2 fan polygons, mapping coordinates and local axes. The
// mapping and axes chunks keep the material group (if any) out of reach of the search behind the
// vertex list, as in files with more polygons than vertices.
inline support3ds::Mesh fanMesh(const std::string& name, int n) {
    support3ds::Mesh m;
    m.name = name;
    for (int i = 0; i < n; ++i) {
        m.vertices.push_back({float(i), float(i + 1), float(-i)});
        m.mapping.push_back({i * 0.125f, 0.5f});
    }
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 1; i + 1 < n; ++i) m.faces.push_back({0, uint16_t(i), uint16_t(i + 1)});
    return m;
}

// A main chunk around the given payload bytes.
inline std::vector<uint8_t> inMain(const support3ds::ChunkWriter& body) {
    support3ds::ChunkWriter w;
    w.begin(support3ds::id::kMain);
    w.raw(body.bytes().data(), body.size());
    w.end();
    return w.take();
}
