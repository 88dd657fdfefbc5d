// The constructor that takes the file image from the FileServer; kept in its own file so that
// programs walking images they already hold do not need the archive.
#include "loader3ds/k3ds_container.h"

K3DSContainer::K3DSContainer(const char* fileName, FileServer& files, DebugServer& log) : log_(log) {
    log_.write("{K3DSContainer::K3DSContainer()}: Allocating resources...", 0);
    // The image is only read during the walk, so it is released with this local once the
    // constructor returns; nothing in the records points into it.
    FileData data = files.getFileData(fileName);
    int32_t size = files.getFileSize(fileName);
    fileSize_ = size;
    fileName_ = fileName ? fileName : "";
    prefix_ = "{K3DSContainer[" + fileName_ + "]}: ";
    createRecords();
    if (!data || size < 0) {
        log_.write("{K3DSContainer::K3DSContainer()}: Failed!", 10);
        return;
    }
    ok_ = true;
    parse(data.get(), static_cast<size_t>(size));
    checkIntegrity();
    log_.write("{K3DSContainer::K3DSContainer()}: Done.", 0);
}
