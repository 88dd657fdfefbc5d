#pragma once
// A RIFF AVI writer: hdrl with one strl per stream, movi, idx1. Once a RIFF would grow past its
// limit (1 GiB) the file continues in RIFF AVIX pieces with OpenDML indexes (indx, ix##, dmlh),
// so long uncompressed recordings stay playable. Errors are returned as errno values (0 = fine).
#include <cstdint>
#include <cstdio>
#include <vector>

constexpr uint32_t aviFourcc(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
           uint32_t(uint8_t(t[3])) << 24;
}

// The stream header (strh) as it lands in the file. length and, for video, suggestedBufferSize
// stay as given; length is filled in from the chunks written when the file is closed.
struct AviStreamHeader {
    uint32_t type = 0;
    uint32_t handler = 0;
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 1;
    uint32_t rate = 1;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t quality = 0xFFFFFFFF;
    uint32_t sampleSize = 0;
    int16_t frame[4] = {0, 0, 0, 0};
};

class AviWriter {
public:
    static constexpr uint64_t defaultRiffLimit = 1ull << 30;
    static constexpr int maxRiffs = 256;

    explicit AviWriter(uint64_t riffLimit = defaultRiffLimit);
    ~AviWriter();  // closes the file if close() was not called
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    int open(const char* path);
    // Streams are added before the first chunk. chunkSuffix is "db", "dc" or "wb" ("00db"...).
    // Returns the stream number.
    int addStream(const AviStreamHeader& header, std::vector<uint8_t> format, const char* chunkSuffix);
    int writeChunk(int stream, const void* data, uint32_t size, bool keyframe);
    // Pushes buffered bytes to the file, so that a failing device shows up at this call.
    int flush();
    int close();

    bool isOpen() const { return file_ != nullptr; }
    // The file's length at the last flush that succeeded, and where the first chunk begins (0
    // before the headers): a file cut back to wholeLength() plays every chunk it holds.
    uint64_t wholeLength() const { return wholeLength_; }
    uint64_t firstChunk() const { return firstChunk_; }
    int riffCount() const { return riffCount_; }
    uint32_t chunkCount(int stream) const { return uint32_t(streams_[stream].totalChunks); }

private:
    struct Entry {
        uint64_t offset;  // of the chunk header, from the 'movi' fourcc of its RIFF
        uint32_t size;
        bool keyframe;
    };
    struct SuperEntry {
        uint64_t offset;
        uint32_t size;
        uint32_t duration;
    };
    struct Stream {
        AviStreamHeader header;
        std::vector<uint8_t> format;
        uint32_t chunkId = 0;
        uint64_t strhPos = 0;
        uint64_t indexReservePos = 0;
        std::vector<Entry> riffEntries;
        std::vector<SuperEntry> superEntries;
        uint64_t totalChunks = 0;
        uint64_t totalBytes = 0;
        uint32_t maxChunk = 0;
        uint64_t firstRiffChunks = 0;
    };
    struct Idx1Entry {
        uint32_t chunkId;
        uint32_t flags;
        uint32_t offset;
        uint32_t size;
    };

    static uint32_t strlBytes(const Stream& s);
    int writeHeaders();
    int startRiff(const char* form);
    int finishRiff(bool last);
    int writeStandardIndexes();
    int writeIdx1();
    int patchHeaders();
    uint32_t durationOf(const Stream& s, uint64_t chunks, uint64_t bytes) const;

    int put(const void* data, size_t size);
    int put32(uint32_t v);
    int put16(uint16_t v);
    int put64(uint64_t v);
    int putTag(const char (&t)[5]);
    int seek(uint64_t pos);
    int patch32(uint64_t pos, uint32_t v);

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    uint64_t riffLimit_;
    uint64_t pos_ = 0;
    bool started_ = false;
    int riffCount_ = 0;
    uint64_t riffPos_ = 0;  // position of the current RIFF's size field
    uint64_t moviPos_ = 0;  // position of the current 'movi' fourcc
    uint64_t avihPos_ = 0;
    uint64_t odmlReservePos_ = 0;
    uint64_t wholeLength_ = 0;
    uint64_t firstChunk_ = 0;
    std::vector<Stream> streams_;
    std::vector<Idx1Entry> idx1_;
    int error_ = 0;
};
