// K3DSContainer: obtaining the file image, running the walk, counting and checking the records.
#include "loader3ds/k3ds_container.h"

#include <climits>

#include "loader3ds/chunk_walk.h"
#include "loader3ds/trace_text.h"

K3DSContainer::K3DSContainer(const char* fileName, const uint8_t* data, size_t size, DebugServer& log)
    : log_(log) {
    log_.write("{K3DSContainer::K3DSContainer()}: Allocating resources...", 0);
    fileSize_ = size > size_t(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(size);
    fileName_ = fileName ? fileName : "";
    prefix_ = "{K3DSContainer[" + fileName_ + "]}: ";
    createRecords();
    if (!data && size > 0) {
        log_.write("{K3DSContainer::K3DSContainer()}: Failed!", 10);
        return;
    }
    ok_ = true;
    parse(data, size);
    checkIntegrity();
    log_.write("{K3DSContainer::K3DSContainer()}: Done.", 0);
}

K3DSContainer::~K3DSContainer() {
    log_.write("{K3DSContainer::~K3DSContainer()}: Freeing resources...", 0);
    fileName_.clear();
    meshes_.reset();
    lights_.reset();
    cameras_.reset();
    materials_.reset();
    log_.write("{K3DSContainer::~K3DSContainer}: Done.", 0);
}

void K3DSContainer::createRecords() {
    meshes_ = std::make_unique<InnerMesh>(log_);
    lights_ = std::make_unique<InnerLight>(log_);
    cameras_ = std::make_unique<InnerCamera>(log_);
}

void K3DSContainer::parse(const uint8_t* data, size_t size) {
    ChunkWalk(*this, data, size).readChunks();
    meshCount_ = 0;
    for (const InnerMesh* m = meshes_.get(); m->next; m = m->next.get()) ++meshCount_;
    lightCount_ = 0;
    for (const InnerLight* l = lights_.get(); l->next; l = l->next.get()) ++lightCount_;
}

void K3DSContainer::checkIntegrity() {
    log_.write("{K3DSContainer}: Integrity checking...", 5);
    trace_text::LineWriter out(log_);
    // Every mesh record, the empty last one included.
    for (const InnerMesh* m = meshes_.get(); m; m = m->next.get()) {
        for (int32_t i = 0; i < m->groupCount; ++i) {
            const char* name = m->getMaterialName(i);
            out.line(5, "{K3DSContainer::K3DSContainer}: ", name, " (", i, ")");
        }
    }
}

const char* K3DSContainer::getMeshName(int index) const {
    const InnerMesh* m = meshes_.get();
    for (int i = 0; i < index && m->next; ++i) m = m->next.get();
    return m->next ? m->getName() : nullptr;
}
