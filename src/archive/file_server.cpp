#include "archive/file_server.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "base/debug_server.h"
#include "base/exception.h"
#include "archive/archive_format.h"
#include "archive/directory_reader.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FileServer* g_installed = nullptr;

}  // namespace

// ---- the archive ----

int FileServer::Archive::open(const char* path) {
    using namespace archive_format;
    entries_.clear();
    path_ = path ? path : "";
    reason_ = "";
    FilePtr file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        reason_ = "cannot open the archive";
        return kCannotOpen;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        reason_ = "cannot seek in the archive";
        return kSeekFailed;
    }
    long length = std::ftell(file.get());
    if (length < 0) {
        reason_ = "cannot seek in the archive";
        return kSeekFailed;
    }
    if (length < 1) {
        reason_ = "the archive is empty";
        return kEmptyFile;
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
        reason_ = "cannot seek in the archive";
        return kSeekFailed;
    }
    // The reader pulls large chunks itself; a second buffer in stdio would only copy them again.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    auto read = [&](uint8_t* into, size_t max) { return std::fread(into, 1, max, file.get()); };
    DirectoryResult result = readDirectory(length, read, entries_);
    reason_ = result.reason;
    if (result.code == kShortRead) std::printf("%lld\n", static_cast<long long>(result.bytesRead));
    return result.code;
}

const FileServer::Archive::Entry* FileServer::Archive::find(const char* name) const {
    return findEntry(entries_, name);
}

FileData FileServer::Archive::read(const Entry& entry) const {
    FilePtr file(std::fopen(path_.c_str(), "rb"));
    if (!file || entry.size < 0 || entry.offset < 0) return {};
    // Checked before the buffer is taken: a size that runs past the end claims up to 2 GiB.
    if (std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) - entry.offset < entry.size ||
        std::fseek(file.get(), long(entry.offset), SEEK_SET) != 0)
        return {};
    auto bytes = std::make_unique<uint8_t[]>(size_t(entry.size));
    if (std::fread(bytes.get(), 1, size_t(entry.size), file.get()) != size_t(entry.size)) return {};
    return FileData::owned(std::move(bytes));
}

// ---- one loose file ----

void FileServer::File::load(const char* name, DebugServer& log) {
    name_ = name;  // keeps the old buffer when the new name fits
    data_.reset();
    size_ = 0;
    FilePtr file(std::fopen(name, "r+b"));
    if (!file) {
        log.printf(10, "{FileServer::File}: Opening file %s... Failed!", name);
        raise(errors::couldntOpenFile, name);
    }
    log.printf(4, "{FileServer::File}: Opening file %s... Done.", name);

    long length = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) length = std::ftell(file.get());
    if (length < 0 || length > std::numeric_limits<int32_t>::max() || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        // A length that cannot be taken (or does not fit the 32-bit size) is a failed read.
        log.printf(10, "{FileServer::File}: Reading file (%ld bytes) into buffer... Failed!", length);
        raise(errors::couldntReadFile, name);
    }
    auto size = static_cast<int32_t>(length);
    auto data = std::make_unique<uint8_t[]>(size_t(size));
    log.printf(4, "{FileServer::File}: Allocating buffer (%d bytes)... Done.", size);

    if (std::fread(data.get(), 1, size_t(size), file.get()) != size_t(size)) {
        log.printf(10, "{FileServer::File}: Reading file (%d bytes) into buffer... Failed!", size);
        raise(errors::couldntReadFile, name);
    }
    file.reset();
    size_ = size;
    data_ = std::move(data);
    log.printf(4, "{FileServer::File}: Reading file (%d bytes) into buffer... Done.", size);
}

const char* FileServer::File::getName() const {
    if (!data_) raise(errors::fileNotFound, name_.c_str());
    return name_.c_str();
}

uint8_t* FileServer::File::getData() const {
    if (!data_) raise(errors::fileNotFound, name_.c_str());
    return data_.get();
}

// ---- the server ----

FileServer::FileServer(DebugServer& log, int capacity) : capacity_(capacity), log_(log) {
    files_.resize(size_t(capacity > 0 ? capacity : 0));
    for (auto& file : files_) file = std::make_unique<File>();
}

FileServer::~FileServer() = default;

int FileServer::openArchive(const char* path) {
    if (archive_.open(path) != archive_format::kOk) raise(errors::couldntReadMetadata);
    archiveMode_ = true;
    return 0;
}

FileServer::File* FileServer::looseFile(const char* name) {
    auto lookUp = [&]() -> File* {
        for (int i = 0; i < count_; ++i)
            if (std::strcmp(files_[size_t(i)]->getName(), name) == 0) return files_[size_t(i)].get();
        return nullptr;
    };
    if (File* file = lookUp()) return file;
    if (count_ + 1 >= capacity_) raise(errors::tooManyFiles);
    // Counted only once loaded, so a failed load leaves no empty record behind.
    files_[size_t(count_)]->load(name, log_);
    ++count_;
    return lookUp();
}

FileData FileServer::getFileData(const char* name) {
    if (!name) return {};
    if (archiveMode_) {
        const Archive::Entry* entry = archive_.find(name);
        return entry ? archive_.read(*entry) : FileData();
    }
    File* file = looseFile(name);
    return file ? FileData::borrowed(file->getData()) : FileData();
}

int32_t FileServer::getFileSize(const char* name) {
    if (!name) return -1;
    if (archiveMode_) {
        const Archive::Entry* entry = archive_.find(name);
        return entry ? entry->size : -1;
    }
    if (File* file = looseFile(name)) return file->getSize();
    log_.write("{FileServer::getFileSize()}: Warning - client requested a non-existent file!", 8);
    return -1;
}

// ---- the process-wide server ----

FileServer& fileServer() {
    if (g_installed) return *g_installed;
    static FileServer fallback(debugServer(), 200);
    return fallback;
}

void installFileServer(FileServer& server) { g_installed = &server; }
