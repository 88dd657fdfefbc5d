#pragma once
// Hands out the show's files by name: from the data archive once openArchive has succeeded
// (archive mode), from loose files on disk before that (loose mode).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DebugServer;

// The bytes of one file as getFileData hands them out. In archive mode every request reads a fresh
// copy that this object owns, so the caller is its only holder and keeps it as long as it needs;
// in loose mode it points at the server's own buffer, which lives as long as the server.
class FileData {
public:
    FileData() = default;
    static FileData owned(std::unique_ptr<uint8_t[]> bytes) {
        FileData d;
        d.bytes_ = bytes.get();
        d.owned_ = std::move(bytes);
        return d;
    }
    static FileData borrowed(uint8_t* bytes) {
        FileData d;
        d.bytes_ = bytes;
        return d;
    }
    uint8_t* get() const { return bytes_; }
    explicit operator bool() const { return bytes_ != nullptr; }

private:
    uint8_t* bytes_ = nullptr;
    std::unique_ptr<uint8_t[]> owned_;
};

class FileServer {
public:
    // The archive's directory in memory.
    class Archive {
    public:
        // Offsets follow from the sizes alone, so an entry may lie (partly) beyond the end of
        // the file; reading it then fails.
        struct Entry {
            std::string name;
            int32_t size = 0;
            int64_t offset = 0;  // from the start of the file
        };
        // Reads the directory of the archive at path, reading the file only as far as the end of
        // the directory. Returns 0, or -1 cannot open, -2 seek failed, -3 empty file, -4 short
        // read, -5 no marker or a directory that cannot be read.
        int open(const char* path);
        const char* path() const { return path_.c_str(); }
        const std::vector<Entry>& entries() const { return entries_; }
        // What the last failed open ran into ("" after success).
        const char* failureReason() const { return reason_; }
        // First entry whose full or base name matches (ASCII case-insensitive), or null.
        const Entry* find(const char* name) const;
        // A fresh copy of an entry's bytes, or empty if the archive cannot be read or does not
        // hold all of them.
        FileData read(const Entry& entry) const;

    private:
        std::string path_;  // copied: the caller's text need not outlive the server
        std::vector<Entry> entries_;
        const char* reason_ = "";
    };

    // One loose file loaded from disk.
    class File {
    public:
        // Reads the whole file into a buffer of its size, logging each step at level 4.
        // Raises errors::couldntOpenFile or errors::couldntReadFile (after a level-10 line).
        void load(const char* name, DebugServer& log);
        // Both raise errors::fileNotFound while the record holds no file.
        const char* getName() const;
        uint8_t* getData() const;
        int32_t getSize() const { return size_; }

    private:
        std::string name_;
        int32_t size_ = 0;
        std::unique_ptr<uint8_t[]> data_;
    };

    FileServer(DebugServer& log, int capacity);
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    // Returns 0; raises errors::couldntReadMetadata when the directory cannot be read.
    int openArchive(const char* path);
    bool archiveMode() const { return archiveMode_; }
    const Archive& archive() const { return archive_; }

    // Archive mode: a new buffer of exactly the file's size, owned by the returned FileData (empty
    // if there is no such file or it cannot be read). Loose mode: the server's own buffer.
    FileData getFileData(const char* name);
    // Size in bytes, or -1 if there is no such file.
    int32_t getFileSize(const char* name);
    int looseFileCount() const { return count_; }

private:
    // Loose mode: the loaded record of this name (exact case), loading it on first request.
    File* looseFile(const char* name);

    Archive archive_;
    bool archiveMode_ = false;
    int capacity_;
    int count_ = 0;
    DebugServer& log_;
    std::vector<std::unique_ptr<File>> files_;
};

// The process-wide file server (installed by the entry point; tests install their own). Until one
// is installed, a loose-mode server on debugServer() with the program's capacity of 200.
FileServer& fileServer();
void installFileServer(FileServer& server);
