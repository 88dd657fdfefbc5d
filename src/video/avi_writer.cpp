#include "video/avi_writer.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t avifHasIndex = 0x10;
constexpr uint32_t avifIsInterleaved = 0x100;
constexpr uint32_t aviifKeyframe = 0x10;
// Room for the super index of each stream: one entry per RIFF piece.
constexpr uint32_t superIndexBytes = 24 + 16 * AviWriter::maxRiffs;
// LIST 'odml' holding 'dmlh' with its customary 248 bytes.
constexpr uint32_t dmlhBytes = 248;
constexpr uint32_t odmlListBytes = 4 + 8 + dmlhBytes;

uint32_t strlBytesFor(size_t formatBytes) {
    return uint32_t(4 + (8 + 56) + (8 + formatBytes + (formatBytes & 1)) + (8 + superIndexBytes));
}

int lastError() { return errno != 0 ? errno : EIO; }

}  // namespace

AviWriter::AviWriter(uint64_t riffLimit) : riffLimit_(riffLimit) {}

AviWriter::~AviWriter() {
    if (file_) close();
}

int AviWriter::open(const char* path) {
    errno = 0;
    file_ = std::fopen(path, "wb");
    if (!file_) return lastError();
    // Large enough for the headers and a frame's audio: a failing device shows up at flush().
    buffer_.resize(1 << 20);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    return 0;
}

int AviWriter::addStream(const AviStreamHeader& header, std::vector<uint8_t> format, const char* chunkSuffix) {
    Stream s;
    s.header = header;
    s.format = std::move(format);
    const int n = int(streams_.size());
    s.chunkId = uint32_t('0' + n / 10) | uint32_t('0' + n % 10) << 8 | uint32_t(uint8_t(chunkSuffix[0])) << 16 |
                uint32_t(uint8_t(chunkSuffix[1])) << 24;
    streams_.push_back(std::move(s));
    return n;
}

int AviWriter::put(const void* data, size_t size) {
    if (error_) return error_;
    errno = 0;
    if (size && std::fwrite(data, 1, size, file_) != size) return error_ = lastError();
    pos_ += size;
    return 0;
}
int AviWriter::put16(uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    return put(b, 2);
}
int AviWriter::put32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return put(b, 4);
}
int AviWriter::put64(uint64_t v) {
    put32(uint32_t(v));
    return put32(uint32_t(v >> 32));
}
int AviWriter::putTag(const char (&t)[5]) { return put(t, 4); }

int AviWriter::seek(uint64_t pos) {
    if (error_) return error_;
    errno = 0;
    if (fseeko(file_, off_t(pos), SEEK_SET) != 0) return error_ = lastError();
    pos_ = pos;
    return 0;
}

int AviWriter::patch32(uint64_t pos, uint32_t v) {
    const uint64_t end = pos_;
    seek(pos);
    put32(v);
    return seek(end);
}

uint32_t AviWriter::strlBytes(const Stream& s) { return strlBytesFor(s.format.size()); }

int AviWriter::writeHeaders() {
    putTag("RIFF");
    riffPos_ = pos_;
    put32(0);
    putTag("AVI ");
    // Sizes are computed up front: no seeking back while the headers sit in the buffer.
    uint32_t hdrlBytes = 4 + (8 + 56) + (8 + odmlListBytes);
    for (const Stream& s : streams_) hdrlBytes += 8 + strlBytes(s);
    putTag("LIST");
    put32(hdrlBytes);
    putTag("hdrl");

    const Stream* video = nullptr;
    for (const Stream& s : streams_)
        if (!video && s.header.type == aviFourcc("vids")) video = &s;
    putTag("avih");
    put32(56);
    avihPos_ = pos_;
    put32(video ? uint32_t(1000000ull * video->header.scale / video->header.rate) : 0);
    put32(0);  // max bytes per second, patched on close
    put32(0);
    put32(avifHasIndex | avifIsInterleaved);
    put32(0);  // total frames, patched on close
    put32(0);
    put32(uint32_t(streams_.size()));
    put32(0);  // suggested buffer size, patched on close
    put32(video ? uint32_t(video->header.frame[2] - video->header.frame[0]) : 0);
    put32(video ? uint32_t(video->header.frame[3] - video->header.frame[1]) : 0);
    for (int i = 0; i < 4; ++i) put32(0);

    for (Stream& s : streams_) {
        const uint32_t formatBytes = uint32_t(s.format.size());
        putTag("LIST");
        put32(strlBytes(s));
        putTag("strl");
        putTag("strh");
        put32(56);
        s.strhPos = pos_;
        const AviStreamHeader& h = s.header;
        put32(h.type);
        put32(h.handler);
        put32(h.flags);
        put16(h.priority);
        put16(h.language);
        put32(h.initialFrames);
        put32(h.scale);
        put32(h.rate);
        put32(h.start);
        put32(h.length);
        put32(h.suggestedBufferSize);
        put32(h.quality);
        put32(h.sampleSize);
        for (int16_t v : h.frame) put16(uint16_t(v));
        putTag("strf");
        put32(formatBytes);
        put(s.format.data(), formatBytes);
        if (formatBytes & 1) put("", 1);
        // Becomes the OpenDML super index if the file outgrows its first RIFF.
        s.indexReservePos = pos_;
        putTag("JUNK");
        put32(superIndexBytes);
        const std::vector<uint8_t> zeros(superIndexBytes);
        put(zeros.data(), zeros.size());
    }
    odmlReservePos_ = pos_;
    putTag("JUNK");
    put32(odmlListBytes);
    const std::vector<uint8_t> zeros(odmlListBytes);
    put(zeros.data(), zeros.size());

    putTag("LIST");
    put32(0);
    moviPos_ = pos_;
    putTag("movi");
    firstChunk_ = pos_;
    riffCount_ = 1;
    started_ = true;
    return error_;
}

int AviWriter::startRiff(const char* form) {
    putTag("RIFF");
    riffPos_ = pos_;
    put32(0);
    put(form, 4);
    putTag("LIST");
    put32(0);
    moviPos_ = pos_;
    putTag("movi");
    ++riffCount_;
    return error_;
}

uint32_t AviWriter::durationOf(const Stream& s, uint64_t chunks, uint64_t bytes) const {
    return uint32_t(s.header.sampleSize ? bytes / s.header.sampleSize : chunks);
}

int AviWriter::writeStandardIndexes() {
    for (Stream& s : streams_) {
        if (s.riffEntries.empty()) continue;
        if (s.superEntries.size() >= size_t(maxRiffs)) return error_ = EFBIG;
        const uint64_t start = pos_;
        const uint32_t count = uint32_t(s.riffEntries.size());
        const uint32_t bytes = 24 + 8 * count;
        put32(uint32_t('i') | uint32_t('x') << 8 | (s.chunkId & 0xFFFF) << 16);
        put32(bytes);
        put16(2);
        put("\0\1", 2);  // sub type 0, index of chunks
        put32(count);
        put32(s.chunkId);
        put64(moviPos_);
        put32(0);
        uint64_t riffBytes = 0;
        for (const Entry& e : s.riffEntries) {
            put32(uint32_t(e.offset + 8));
            put32(e.size | (e.keyframe ? 0 : 0x80000000u));
            riffBytes += e.size;
        }
        s.superEntries.push_back({start, 8 + bytes, durationOf(s, count, riffBytes)});
    }
    return error_;
}

int AviWriter::writeIdx1() {
    putTag("idx1");
    put32(uint32_t(idx1_.size() * 16));
    for (const Idx1Entry& e : idx1_) {
        put32(e.chunkId);
        put32(e.flags);
        put32(e.offset);
        put32(e.size);
    }
    return error_;
}

int AviWriter::finishRiff(bool last) {
    const bool openDml = !last || riffCount_ > 1;
    if (openDml) writeStandardIndexes();
    patch32(moviPos_ - 4, uint32_t(pos_ - moviPos_));
    if (riffCount_ == 1) {
        writeIdx1();
        for (Stream& s : streams_) s.firstRiffChunks = s.totalChunks;
    }
    for (Stream& s : streams_) s.riffEntries.clear();
    return patch32(riffPos_, uint32_t(pos_ - riffPos_ - 4));
}

int AviWriter::writeChunk(int stream, const void* data, uint32_t size, bool keyframe) {
    if (!file_) return EBADF;
    if (!started_ && writeHeaders()) return error_;
    Stream& s = streams_[size_t(stream)];
    const uint64_t total = 8 + uint64_t(size) + (size & 1);
    bool anyInRiff = false;
    for (const Stream& t : streams_) anyInRiff |= !t.riffEntries.empty();
    if (anyInRiff && pos_ + total - riffPos_ > riffLimit_) {
        if (riffCount_ >= maxRiffs) return error_ = EFBIG;
        finishRiff(false);
        startRiff("AVIX");
    }
    const uint64_t offset = pos_ - moviPos_;
    put32(s.chunkId);
    put32(size);
    put(data, size);
    if (size & 1) put("", 1);
    if (error_) return error_;
    s.riffEntries.push_back({offset, size, keyframe});
    if (riffCount_ == 1) idx1_.push_back({s.chunkId, keyframe ? aviifKeyframe : 0, uint32_t(offset), size});
    ++s.totalChunks;
    s.totalBytes += size;
    if (size > s.maxChunk) s.maxChunk = size;
    return 0;
}

int AviWriter::flush() {
    if (error_) return error_;
    errno = 0;
    if (std::fflush(file_) != 0) return error_ = lastError();
    wholeLength_ = pos_;
    return 0;
}

int AviWriter::patchHeaders() {
    uint32_t maxChunk = 0;
    uint64_t bytesPerSecond = 0;
    const Stream* video = nullptr;
    for (const Stream& s : streams_) {
        if (s.maxChunk > maxChunk) maxChunk = s.maxChunk;
        if (!video && s.header.type == aviFourcc("vids")) video = &s;
        // Peak rate estimate: the largest chunk at the stream's chunk rate.
        const uint64_t chunksPerSecond = s.totalChunks && s.header.scale
                                             ? (s.header.sampleSize ? 0 : s.header.rate / s.header.scale)
                                             : 0;
        bytesPerSecond += s.header.sampleSize ? uint64_t(s.header.rate) * s.header.sampleSize / s.header.scale
                                              : uint64_t(s.maxChunk) * chunksPerSecond;
    }
    const bool openDml = riffCount_ > 1;
    patch32(avihPos_ + 4, uint32_t(bytesPerSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : bytesPerSecond));
    if (video) patch32(avihPos_ + 16, uint32_t(openDml ? video->firstRiffChunks : video->totalChunks));
    patch32(avihPos_ + 28, maxChunk + 8);
    for (const Stream& s : streams_) patch32(s.strhPos + 32, durationOf(s, s.totalChunks, s.totalBytes));
    if (!openDml) return error_;

    const uint64_t end = pos_;
    for (const Stream& s : streams_) {
        seek(s.indexReservePos);
        putTag("indx");
        put32(superIndexBytes);
        put16(4);
        put("\0\0", 2);  // sub type 0, index of indexes
        put32(uint32_t(s.superEntries.size()));
        put32(s.chunkId);
        put32(0);
        put32(0);
        put32(0);
        for (const SuperEntry& e : s.superEntries) {
            put64(e.offset);
            put32(e.size);
            put32(e.duration);
        }
    }
    seek(odmlReservePos_);
    putTag("LIST");
    put32(odmlListBytes);
    putTag("odml");
    putTag("dmlh");
    put32(dmlhBytes);
    put32(video ? uint32_t(video->totalChunks) : 0);
    return seek(end);
}

int AviWriter::close() {
    if (!file_) return 0;
    if (!started_) writeHeaders();
    finishRiff(true);
    patchHeaders();
    flush();
    errno = 0;
    if (std::fclose(file_) != 0 && !error_) error_ = lastError();
    file_ = nullptr;
    return error_;
}
