// The four record kinds of K3DSContainer: construction and release with their log lines, the
// array allocations and the material-group table of a mesh.
#include <algorithm>
#include <new>

#include "base/exception.h"
#include "loader3ds/k3ds_container.h"
#include "loader3ds/trace_text.h"

using trace_text::LineWriter;

void K3DSContainer::Text::set(const char* text) {
    if (!text) {
        text_.clear();
        present_ = false;
        return;
    }
    text_.assign(text);
    present_ = true;
}

void K3DSContainer::Text::set(std::string_view text) {
    text_.assign(text);
    present_ = true;
}

template <class Record>
void K3DSContainer::releaseTail(Record& record, const char* freeingLine) {
    // A record releases its successor before it writes its own closing line, so the opening lines
    // come in chain order and the closing lines in reverse. Done without recursion, so that a long
    // chain cannot exhaust the stack.
    std::vector<std::unique_ptr<Record>> tail;
    for (std::unique_ptr<Record> r = std::move(record.next); r;) {
        r->releasing_ = true;
        r->log_.write(freeingLine, 0);
        std::unique_ptr<Record> after = std::move(r->next);
        tail.push_back(std::move(r));
        r = std::move(after);
    }
    while (!tail.empty()) tail.pop_back();
}

// ---- InnerMesh ----

K3DSContainer::InnerMesh::InnerMesh(DebugServer& log) : log_(log) {
    log_.write("{K3DSContainer::InnerMesh::InnerMesh()}: Allocating resources...", 0);
    log_.write("{K3DSContainer::InnerMesh::InnerMesh()}: Done...", 0);
}

K3DSContainer::InnerMesh::~InnerMesh() {
    static constexpr const char* kFreeing = "{K3DSContainer::InnerMesh::~InnerMesh()}: Freeing resources...";
    if (!releasing_) log_.write(kFreeing, 0);
    releaseTail(*this, kFreeing);
    log_.write("{K3DSContainer::InnerMesh}: Done.", 0);
}

K3DSContainer::InnerMesh* K3DSContainer::InnerMesh::appendNext() {
    next = std::make_unique<InnerMesh>(log_);
    next->previous = this;
    return next.get();
}

void K3DSContainer::InnerMesh::allocVertices(int32_t n) {
    vertexCount = std::max(n, 0);
    for (auto* array : {&x, &y, &z, &u, &v}) array->assign(static_cast<size_t>(vertexCount), 0.0f);
}

void K3DSContainer::InnerMesh::allocPolygons(int32_t n) {
    polygonCount = std::max(n, 0);
    for (auto* array : {&a, &b, &c}) array->assign(static_cast<size_t>(polygonCount), 0);
}

void K3DSContainer::InnerMesh::setMaterialName(const char* text, int index) {
    LineWriter out(log_);
    out.line(5, "{K3DSContainer}: Setting materialname: ", text, " (index: ", int32_t(index), ")");
    if (groups.empty()) {
        try {
            groups.resize(kGroupTableSize);
        } catch (...) {
            log_.write("{K3DSContainer}: Allocating (shared) memory...Failed!", 10);
            raise(errors::outOfMemory);
        }
        log_.write("{K3DSContainer}: Allocating (shared) memory...Done.", 4);
    } else {
        log_.write("{K3DSContainer}: Using already allocated (shared) memory.", 4);
    }
    if (index >= 0 && index < kGroupTableSize) {
        std::string_view name = text ? text : "";
        groups[index].name.assign(name.substr(0, kMaterialNameMax));
    }
    groupCount += 1;
}

const char* K3DSContainer::InnerMesh::getMaterialName(int index) const {
    const char* name = nullptr;
    if (index >= 0 && index < static_cast<int>(groups.size())) name = groups[index].name.c_str();
    LineWriter(log_).line(5, "{K3DSContainer}: Getting materialname: ", name);
    return name;
}

void K3DSContainer::InnerMesh::allocGroup(int32_t count, int index) {
    if (index < 0 || index >= static_cast<int>(groups.size())) return;
    MaterialGroup& group = groups[index];
    group.count = std::max(count, 0);
    group.polygons.assign(static_cast<size_t>(group.count), 0);
}

void K3DSContainer::InnerMesh::setGroupPolygon(int32_t i, int32_t polygon, int index) {
    if (index < 0 || index >= static_cast<int>(groups.size())) return;
    MaterialGroup& group = groups[index];
    if (i >= 0 && i < group.count) group.polygons[i] = polygon;
}

int32_t K3DSContainer::InnerMesh::getGroupSize(int index) const {
    if (index < 0 || index >= static_cast<int>(groups.size())) return 0;
    return groups[index].count;
}

int32_t K3DSContainer::InnerMesh::getGroupPolygon(int32_t i, int index) const {
    if (index < 0 || index >= static_cast<int>(groups.size())) return 0;
    const MaterialGroup& group = groups[index];
    return i >= 0 && i < group.count ? group.polygons[i] : 0;
}

// ---- InnerLight ----

K3DSContainer::InnerLight::InnerLight(DebugServer& log) : log_(log) {
    log_.write("{K3DSContainer::InnerLight::InnerLight()}: Allocating resources...", 0);
    log_.write("{K3DSContainer::InnerLight::InnerLight()}: Done.", 0);
}

K3DSContainer::InnerLight::~InnerLight() {
    static constexpr const char* kFreeing = "{K3DSContainer::InnerLight::~InnerLight()}: Freeing resources...";
    if (!releasing_) log_.write(kFreeing, 0);
    releaseTail(*this, kFreeing);
    log_.write("{K3DSContainer::InnerLight::~InnerLight()}: Done.", 0);
}

K3DSContainer::InnerLight* K3DSContainer::InnerLight::appendNext() {
    next = std::make_unique<InnerLight>(log_);
    next->previous = this;
    return next.get();
}

// ---- InnerCamera ----

K3DSContainer::InnerCamera::InnerCamera(DebugServer& log) : log_(log) {
    log_.write("{K3DSContainer::InnerCamera::InnerCamera()}: Allocating resources...", 0);
    log_.write("{K3DSContainer::InnerCamera::InnerCamera()}: Done.", 0);
}

K3DSContainer::InnerCamera::~InnerCamera() {
    static constexpr const char* kFreeing = "{K3DSContainer::InnerCamera::~InnerCamera()}: Freeing resources...";
    if (!releasing_) log_.write(kFreeing, 0);
    releaseTail(*this, kFreeing);
    log_.write("{K3DSContainer::InnerCamera::~InnerCamera()}: Done..", 0);
}

K3DSContainer::InnerCamera* K3DSContainer::InnerCamera::appendNext() {
    next = std::make_unique<InnerCamera>(log_);
    next->previous = this;
    return next.get();
}

// ---- InnerMaterial ----

K3DSContainer::InnerMaterial::InnerMaterial(DebugServer& log) : log_(log) {
    log_.write("{K3DSContainer::InnerMaterial::InnerMaterial()}: Allocating resources...", 0);
    log_.write("{K3DSContainer::InnerMaterial::InnerMaterial()}: Done.", 0);
}

K3DSContainer::InnerMaterial::~InnerMaterial() {
    static constexpr const char* kFreeing =
        "{K3DSContainer::InnerMaterial::~InnerMaterial()}: Freeing resources...";
    if (!releasing_) log_.write(kFreeing, 0);
    releaseTail(*this, kFreeing);
    log_.write("{K3DSContainer::InnerMaterial::~InnerMaterial()}: Done.", 0);
}

K3DSContainer::InnerMaterial* K3DSContainer::InnerMaterial::appendNext() {
    next = std::make_unique<InnerMaterial>(log_);
    next->previous = this;
    return next.get();
}
