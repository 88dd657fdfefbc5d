// glimmershot: renders the show headless, frame by frame as video mode does, and writes chosen
// frames as PNG files or a contact sheet; without an output it is the render benchmark.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/exception.h"
#include "app/information.h"
#include "headless_show.h"
#include "platform/data_folder.h"
#include "png_image.h"
#include "render/render.h"
#include "sheet.h"
#include "show/show.h"

namespace {

struct Options {
    std::string data;  // "": the program's own search
    float fps = 40.0f;
    std::vector<int> at;
    int every = 0;
    std::string out;
    std::string sheet;
    int average = 1;
    int scale = 1;
    std::optional<LineWay> lines;  // none: as the program chooses
};

const char* kUsage =
    "usage: glimmershot [--data FILE] [--fps N] [--scale N] [--lines native|quads]\n"
    "                   [--at T1,T2,... | --every N] [--average N] [--out DIR] [--sheet FILE.png]\n"
    "\n"
    "Plays the show headless, frame by frame as video mode does, and writes chosen frames as PNG.\n"
    "  --data FILE     the data archive (default: Glimmertide.dat here, else the installed one)\n"
    "  --fps N         frames per second of the show's clock (default 40)\n"
    "  --scale N       draw at N times 320 x 240, N from 1 to 8 (default 1)\n"
    "  --lines WAY     draw lines natively or as quads (default: as the program chooses)\n"
    "  --at T1,T2,...  the first frame at or after each tick, as DIR/atTTTTT.png\n"
    "  --every N       every Nth frame, as DIR/frameNNNNN.png\n"
    "  --average N     each chosen frame as the mean of it and the N - 1 frames after it\n"
    "  --out DIR       the folder for the frames (made if missing)\n"
    "  --sheet FILE    the chosen frames on one contact sheet\n"
    "Without --out or --sheet it renders the whole show, then the floor of any frame (clear,\n"
    "feedback copy, read back, swap) as often, and prints both frame rates and the most polygons\n"
    "each scene draws in one frame.\n"
    "GLIMMERTIDE_LINE_WIDTH_LIMIT=W acts as if the driver drew lines at most W pixels wide.\n";

int usage(const std::string& problem) { return usageError("glimmershot", problem, kUsage); }

bool parseInt(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 1000000) return false;
    value = int(v);
    return true;
}

bool parseTicks(const char* text, std::vector<int>& ticks) {
    std::string list(text);
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int tick;
        if (!parseInt(item.c_str(), tick)) return false;
        ticks.push_back(tick);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !ticks.empty();
}

// Returns 0 on success, else the exit status of a usage error.
int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; i += 2) {  // every option takes a value
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&](const char* name) {
            if (!value) usage(std::string(name) + " needs a value");
            return value != nullptr;
        };
        if (!std::strcmp(arg, "--data")) {
            if (!need(arg)) return 2;
            o.data = value;
        } else if (!std::strcmp(arg, "--fps")) {
            int fps;
            if (!need(arg)) return 2;
            if (!parseInt(value, fps) || fps < 1) return usage("--fps takes a whole number of at least 1");
            o.fps = float(fps);
        } else if (!std::strcmp(arg, "--scale")) {
            if (!need(arg)) return 2;
            if (!parseInt(value, o.scale) || o.scale < 1 || o.scale > 8)
                return usage("--scale takes a whole number from 1 to 8");
        } else if (!std::strcmp(arg, "--lines")) {
            if (!need(arg)) return 2;
            o.lines = lineWayNamed(value);
            if (!o.lines) return usage("--lines takes native or quads");
        } else if (!std::strcmp(arg, "--at")) {
            if (!need(arg)) return 2;
            if (!parseTicks(value, o.at)) return usage("--at takes ticks separated by commas");
        } else if (!std::strcmp(arg, "--every")) {
            if (!need(arg)) return 2;
            if (!parseInt(value, o.every) || o.every < 1) return usage("--every takes a whole number of at least 1");
        } else if (!std::strcmp(arg, "--average")) {
            if (!need(arg)) return 2;
            if (!parseInt(value, o.average) || o.average < 1)
                return usage("--average takes a whole number of frames of at least 1");
        } else if (!std::strcmp(arg, "--out")) {
            if (!need(arg)) return 2;
            o.out = value;
        } else if (!std::strcmp(arg, "--sheet")) {
            if (!need(arg)) return 2;
            o.sheet = value;
        } else {
            return usage(std::string("unknown option ") + arg);
        }
    }
    if (!o.at.empty() && o.every) return usage("--at and --every exclude each other");
    const bool capturing = !o.out.empty() || !o.sheet.empty();
    if (capturing && o.at.empty() && !o.every) return usage("--out and --sheet need --at or --every");
    // The benchmark writes nothing: frames asked for without a place to go are a mistake.
    if (!capturing && !o.at.empty()) return usage("--at needs --out or --sheet");
    if (!capturing && o.every) return usage("--every needs --out or --sheet");
    if (!capturing && o.average > 1) return usage("--average needs --out or --sheet");
    return 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A chosen frame on its way out: with --average it waits for the frames that follow it.
struct Pending {
    std::string name;
    int frame;
    float tick;
    FrameAverage average;
};

// Writes the chosen frames (each the mean of --average frames from it on); returns the exit status.
int capture(const Options& o) {
    HeadlessShow run(o.data.c_str(), o.fps, o.scale, o.lines);
    std::vector<Thumbnail> chosen;
    std::vector<Pending> pending;
    size_t nextAt = 0;
    std::vector<int> at = o.at;
    std::sort(at.begin(), at.end());
    auto emit = [&](const Pending& p) {
        RgbImage image = p.average.mean();
        if (!o.out.empty()) {
            std::string path = (std::filesystem::path(o.out) / p.name).string();
            std::string error;
            if (!writePng(path, image, &error)) {
                std::fprintf(stderr, "glimmershot: %s\n", error.c_str());
                return false;
            }
            std::printf("%s: frame %d at tick %.2f", path.c_str(), p.frame, double(p.tick));
            if (o.average > 1) std::printf(", mean of %d frames", p.average.count());
            std::printf("\n");
        }
        if (!o.sheet.empty()) chosen.push_back({std::move(image), int(p.tick)});
        return true;
    };
    bool more = true;
    while ((more = run.nextFrame())) {
        const int frame = run.frameIndex();
        // A frame is taken for every asked tick its clock reading reaches first; it is named after
        // the tick asked for, so that the same request always writes the same files.
        int asked = -1;
        while (nextAt < at.size() && run.frameTick() >= float(at[nextAt])) asked = at[nextAt++];
        if (asked >= 0 || (o.every && frame % o.every == 0)) {
            char name[64];
            if (asked >= 0) std::snprintf(name, sizeof name, "at%05d.png", asked);
            else std::snprintf(name, sizeof name, "frame%05d.png", frame);
            pending.push_back({name, frame, run.frameTick(), {}});
        }
        if (pending.empty()) continue;
        const RgbImage image = run.readBack();
        for (Pending& p : pending) p.average.add(image);
        while (!pending.empty() && pending.front().average.count() >= o.average) {
            if (!emit(pending.front())) return 1;
            pending.erase(pending.begin());
        }
        if (o.every == 0 && nextAt == at.size() && !at.empty() && pending.empty()) break;
    }
    if (!more && !pending.empty())
        std::fprintf(stderr, "glimmershot: the show ended before the average from tick %.2f was complete\n",
                     double(pending.front().tick));
    for (const Pending& p : pending)
        if (!emit(p)) return 1;
    if (!o.sheet.empty()) {
        std::string error;
        if (!writePng(o.sheet, contactSheet(chosen), &error)) {
            std::fprintf(stderr, "glimmershot: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", o.sheet.c_str());
    }
    // Ticks past the end get no picture, and the run is no success.
    for (size_t i = nextAt; i < at.size(); ++i)
        std::fprintf(stderr, "glimmershot: the show ended before tick %d\n", at[i]);
    return nextAt < at.size() ? 1 : 0;
}

// Renders the whole show and discards it, then runs the floor loop for as many frames.
int benchmark(const Options& o) {
    HeadlessShow run(o.data.c_str(), o.fps, o.scale, o.lines);
    // Per scene: the most polygons drawn in one frame, and that frame's tick.
    constexpr int kScenes = Show::kSceneCount;
    long most[kScenes] = {};
    float mostAt[kScenes] = {};
    auto start = std::chrono::steady_clock::now();
    int frames = 0;
    for (;;) {
        const int scene = run.show().state().sceneIndex;
        const long before = polygonsDrawn();
        if (!run.nextFrame()) break;
        (void)run.readBack();
        ++frames;
        const long drawn = polygonsDrawn() - before;
        if (scene >= 0 && scene < kScenes && drawn > most[scene]) {
            most[scene] = drawn;
            mostAt[scene] = run.frameTick();
        }
    }
    const double showSeconds = secondsSince(start);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) run.floorFrame();
    const double floorSeconds = secondsSince(start);
    const double showFps = frames / showSeconds, floorFps = frames / floorSeconds;
    std::printf("lines: %s, scale %d\n", lineWayName(run.lines()), run.scale());
    std::printf("show:  %d frames in %.2f s, %.1f frames per second\n", frames, showSeconds, showFps);
    std::printf("floor: %d frames in %.2f s, %.1f frames per second (clear, feedback copy, read back, swap)\n",
                frames, floorSeconds, floorFps);
    std::printf("the show renders at %.2f of the floor's rate\n", showFps / floorFps);
    for (int scene = 0; scene < kScenes; ++scene)
        std::printf("scene %d: at most %ld polygon%s drawn in one frame (tick %.0f)\n", scene, most[scene],
                    most[scene] == 1 ? "" : "s", double(mostAt[scene]));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredInformationRequest(argc, argv, "glimmershot", kUsage)) return 0;
    Options o;
    if (int status = parse(argc, argv, o)) return status;
    if (o.data.empty()) o.data = findDataFile("Glimmertide.dat", programFolder());
    if (!o.out.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.out, ec);
        if (ec) {
            std::fprintf(stderr, "glimmershot: cannot create %s: %s\n", o.out.c_str(), ec.message().c_str());
            return 1;
        }
    }
    const bool capturing = !o.out.empty() || !o.sheet.empty();
    try {
        return capturing ? capture(o) : benchmark(o);
    } catch (const ExceptionType& error) {
        std::fprintf(stderr, "glimmershot: %s\n", error.text().c_str());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "glimmershot: %s\n", errors::undefinedException.getMessage());
        return 1;
    }
}
