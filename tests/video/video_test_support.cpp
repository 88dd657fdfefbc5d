#include "video/video_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

const uint8_t* SyntheticFrames::acquireFrame() {
    pixels_.resize(size_t(width_) * size_t(height_) * 3);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            uint8_t* p = &pixels_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
            p[0] = uint8_t(frame_ * 7 + x);
            p[1] = uint8_t(y);
            p[2] = uint8_t(frame_ * 3);
        }
    ++frame_;
    return pixels_.data();
}

uint8_t SyntheticSound::byteAt(size_t offset) {
    const uint32_t sample = uint32_t(offset / 2);
    return (offset & 1) ? uint8_t((sample * 13) >> 8) : uint8_t(sample * 13);
}

void SyntheticSound::advance() {
    if (delivered_ >= total_) return;
    const size_t n = std::min(block_, total_ - delivered_);
    std::vector<uint8_t> block(n);
    for (size_t i = 0; i < n; ++i) block[i] = byteAt(delivered_ + i);
    if (capture_) capture_(block.data(), n);
    for (uint8_t b : block) silenced_ &= b == 0;
    delivered_ += n;
}

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int result = pclose(pipe);
    if (status) *status = result;
    return out;
}

std::map<std::string, std::string> probeStream(const std::string& file, const std::string& stream) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(runCommand("ffprobe -v error -count_frames -select_streams " + stream +
                                        " -show_entries stream=codec_name,codec_tag_string,width,height,r_frame_rate,"
                                        "nb_read_frames,sample_rate,channels,sample_fmt -of default=nw=1 '" +
                                        file + "'"));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

std::map<std::string, std::map<std::string, std::string>> probeAll(const std::string& file, int* streams) {
    std::map<std::string, std::map<std::string, std::string>> all;
    std::istringstream lines(runCommand("ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,"
                                        "width,height,r_frame_rate,nb_read_frames,sample_rate,channels,sample_fmt,"
                                        "duration_ts -of default=nw=1 '" + file + "'"));
    std::map<std::string, std::string> fields;
    std::string line;
    *streams = 0;
    auto store = [&] {
        if (!fields.empty()) all[fields["codec_type"]] = fields, ++*streams;
        fields.clear();
    };
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (line.compare(0, eq, "codec_name") == 0) store();
        fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    store();
    return all;
}

int streamCount(const std::string& file) {
    const std::string out =
        runCommand("ffprobe -v error -show_entries format=nb_streams -of default=nw=1:nk=1 '" + file + "'");
    return std::atoi(out.c_str());
}

int decodedFrames(const std::string& file) { return std::atoi(probeStream(file, "v:0")["nb_read_frames"].c_str()); }

std::string decodeErrors(const std::string& file) {
    return runCommand("ffmpeg -nostdin -v error -i '" + file + "' -f null - 2>&1");
}

std::vector<uint8_t> decodedAudio(const std::string& file) {
    const std::string out = runCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a -f s16le -");
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const std::vector<uint8_t>& b, uint64_t o) {
    return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, uint64_t o) { return uint16_t(b[o] | b[o + 1] << 8); }

static void walk(const std::vector<uint8_t>& b, uint64_t begin, uint64_t end, std::vector<RiffChunk>& out) {
    uint64_t pos = begin;
    while (pos + 8 <= end) {
        std::string id(reinterpret_cast<const char*>(&b[pos]), 4);
        const uint32_t size = le32(b, pos + 4);
        if (pos + 8 + size > end) break;
        if (id == "RIFF" || id == "LIST") {
            out.push_back({id + ":" + std::string(reinterpret_cast<const char*>(&b[pos + 8]), 4), pos + 12, size - 4});
            walk(b, pos + 12, pos + 8 + size, out);
        } else {
            out.push_back({id, pos + 8, size});
        }
        pos += 8 + size + (size & 1);
    }
}

std::vector<RiffChunk> walkRiff(const std::vector<uint8_t>& bytes) {
    std::vector<RiffChunk> out;
    walk(bytes, 0, bytes.size(), out);
    return out;
}

std::string scratchFile(const std::string& name) {
    return std::string("video_test_") + std::to_string(getpid()) + "_" + name;
}

int record(const std::string& file, const Recording& r) {
    SyntheticFrames frames(320, 240);
    SyntheticSound sound(r.soundBytes);
    RecorderUi ui = quietUi();
    int frame = 0;
    ui.cancelRequested = [&] { return frame == r.cancelAt; };
    AviRecorder recorder(ui, file.c_str(), 320, 240, r.sound, r.fps, 44100, 16, r.codec, r.limits);
    recorder.attachFrameSource(&frames, r.sound ? &sound : nullptr);
    for (frame = 0; frame < r.frames; ++frame) {
        if (recorder.aborted()) break;
        recorder.frameDone(frame * 100 / r.frames);
    }
    return recorder.framesWritten();
}

std::string firstFrameTime(const std::string& file, const std::string& stream) {
    const std::string out = runCommand("ffprobe -v error -select_streams " + stream +
                                       " -show_entries frame=best_effort_timestamp_time -read_intervals %+1"
                                       " -of default=nw=1:nk=1 '" + file + "'");
    return out.substr(0, out.find('\n'));
}

RecorderUi quietUi() {
    RecorderUi ui;
    ui.progressOut = nullptr;
    return ui;
}
