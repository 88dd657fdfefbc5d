// Fuzz target: a KScene built from arbitrary 3DS bytes. Texture maps named in the input are looked
// up in a small archive of JPEGs ("tex.jpg", "env.jpg", a greyscale "grey.jpg", a non-power-of-two
// "odd.jpg" and a damaged "bad.jpg"). Every input must end in a scene or in an error of the
// catalogue; anything else escapes and is reported.
#include <turbojpeg.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/debug_server.h"
#include "base/exception.h"
#include "archive/file_server.h"
#include "scene/kscene.h"
#include "support_archive/archive_writer.h"

namespace {

std::vector<uint8_t> jpeg(int width, int height, bool grey) {
    std::vector<uint8_t> raw(size_t(width) * height * 3);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 37);
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, raw.data(), width, 0, height, TJPF_RGB, &out, &size, grey ? TJSAMP_GRAY : TJSAMP_420, 90, 0);
    std::vector<uint8_t> bytes(out, out + size);
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

// The log listens (a sink that drops the lines), so every line is formatted from the input too.
DebugServer& quietListeningLog() {
    static DebugServer log(0, 0);
    static const bool listening = (log.setSink([](std::string_view) {}), true);
    (void)listening;
    return log;
}

bool setUp() {
    installDebugServer(quietListeningLog());
    static FileServer files(quietListeningLog(), 200);
    installFileServer(files);
    std::vector<uint8_t> bad = jpeg(16, 16, false);
    bad.resize(bad.size() / 2);
    const std::vector<PackEntry> entries = {{"data/tex.jpg", jpeg(8, 8, false)},
                                            {"data/env.jpg", jpeg(16, 4, false)},
                                            {"data/grey.jpg", jpeg(4, 4, true)},
                                            {"data/odd.jpg", jpeg(12, 8, false)},
                                            {"data/bad.jpg", bad}};
    static const std::string path = "/tmp/glimmer-fuzz-scene-" + std::to_string(getpid()) + ".dat";
    std::string error;
    if (!writeArchive(path, entries, error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        std::abort();
    }
    files.openArchive(path.c_str());
    // The server reopens the archive for every read; it goes when the process ends.
    std::atexit([] { std::remove(path.c_str()); });
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = setUp();
    (void)ready;
    try {
        KScene scene("fuzz.3ds", data, size);
    } catch (const ExceptionType&) {
        // A catalogue error: the program would report it and stop.
    }
    return 0;
}
